; The loader's installer: the deployment folder into Program Files, a Start-menu
; shortcut and an uninstaller that removes what was installed. The user's settings and
; logs live in the user's data folder and stay.
; makensis -DVERSION=1.0 -DARCH=i686|x86_64 -DDEPLOY=<folder> -DOUTFILE=<setup.exe>
;          -DFILES=<files.nsh> VLFWLoader.nsi
; files.nsh, written by the build, names each installed file.
Unicode true
SetCompressor /SOLID lzma
!if "${ARCH}" == "x86_64"
  Target amd64-unicode
  !define PROGRAMS "$PROGRAMFILES64"
!else
  !define PROGRAMS "$PROGRAMFILES"
!endif
RequestExecutionLevel admin

!define PRODUCT "VLFWLoader"
!define CAPTION "Обновление прошивки Вельмарк"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${CAPTION}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAMS}\${PRODUCT}"
InstallDirRegKey HKLM "Software\${PRODUCT}" "InstallDir"

!include "MUI2.nsh"
!include "${FILES}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Section "Install"
  SetShellVarContext all
  !insertmacro VL_INSTALL_FILES
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateDirectory "$SMPROGRAMS\${CAPTION}"
  CreateShortcut "$SMPROGRAMS\${CAPTION}\${CAPTION}.lnk" "$INSTDIR\VLFWLoader.exe"
  WriteRegStr HKLM "Software\${PRODUCT}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${CAPTION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  ; Only what the installer put there: a folder left with other files stays.
  !insertmacro VL_UNINSTALL_FILES
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${CAPTION}\${CAPTION}.lnk"
  RMDir "$SMPROGRAMS\${CAPTION}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\${PRODUCT}"
SectionEnd
