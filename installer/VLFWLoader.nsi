; The loader's installer: the window and the station command line with what they load
; into Program Files, a Start-menu shortcut, an entry in Apps and Features, and an
; uninstaller that removes what was installed. The user's settings and logs live in the
; user's data folder and stay.
; makensis -DVERSION=1.0 -DARCH=i686|x86_64 -DDEPLOY=<folder> -DOUTFILE=<setup.exe>
;          -DFILES=<files.nsh> -DICON=<icon> [-DSIGN=<command>] VLFWLoader.nsi
; files.nsh, written by the build, names each installed file. SIGN, when given, is run
; with the path of the finished setup and of the uninstaller to sign them.
;
; Command line (besides NSIS' own /S and /D=folder): /ADDTOPATH adds the install folder
; to the system's PATH, as the check box on the components page does.
; Exit codes: 0 installed; 2 cancelled, or refused in silent mode because one of the
; programs runs; 3 the version installed before could not be removed.
Unicode true
SetCompressor /SOLID lzma
!if "${ARCH}" == "x86_64"
  Target amd64-unicode
  !define PROGRAMS "$PROGRAMFILES64"
!else
  !define PROGRAMS "$PROGRAMFILES"
!endif
RequestExecutionLevel admin
!ifdef SIGN
  !finalize '${SIGN} "%1"' = 0
  !uninstfinalize '${SIGN} "%1"' = 0
!endif

!define PRODUCT "VLFWLoader"
!define CAPTION "Обновление прошивки Вельмарк"
!define PUBLISHER "Velmarkon"
!define PRODUCT_KEY "Software\${PRODUCT}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"

Name "${CAPTION}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAMS}\${PRODUCT}"
InstallDirRegKey HKLM "${PRODUCT_KEY}" "InstallDir"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1049 "ProductName" "${CAPTION}"
VIAddVersionKey /LANG=1049 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка: ${CAPTION}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "© ${PUBLISHER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WordFunc.nsh"
!include "WinMessages.nsh"
!include "StrFunc.nsh"
${StrStr}
!include "${FILES}"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

; While the window or vlfwflash runs, its files cannot all be replaced: both hold the
; machine-wide device lock while they run, and the window also its session's mutex.
; Asks the user to close them; in silent mode, or when the user cancels, ends with exit
; code 2 before anything has changed.
!macro VL_WAIT_FOR_PROGRAMS un
  Function ${un}WaitForPrograms
    ${Do}
      System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Global\VLFWLoaderDevices") p.r0'
      System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "VLUSBFirmwareLoaderBaseMutex") p.r1'
      ${If} $0 P= 0
      ${AndIf} $1 P= 0
        Return
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r0)'
      System::Call 'kernel32::CloseHandle(p r1)'
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "Программа ${CAPTION} (окно или vlfwflash) запущена. Закройте её и нажмите «Повтор»." \
        /SD IDCANCEL IDRETRY retry
      SetErrorLevel 2
      Quit
      retry:
    ${Loop}
  FunctionEnd
!macroend
!insertmacro VL_WAIT_FOR_PROGRAMS ""
!insertmacro VL_WAIT_FOR_PROGRAMS "un."

Function un.onInit
  Call un.WaitForPrograms
FunctionEnd

; A version installed before, in whatever folder, is removed by its own uninstaller,
; which knows its files: files this version no longer ships do not stay behind, and
; installing the same version again repairs it.
Function RemovePreviousVersion
  ReadRegStr $0 HKLM "${PRODUCT_KEY}" "InstallDir"
  ${If} $0 == ""
  ${OrIfNot} ${FileExists} "$0\Uninstall.exe"
    Return
  ${EndIf}
  DetailPrint "Удаление установленной версии из $0"
  ; _? runs it in place and waits for it, instead of letting it copy itself away.
  ExecWait '"$0\Uninstall.exe" /S _?=$0' $1
  ${If} $1 != 0
    MessageBox MB_OK|MB_ICONSTOP "Не удалось удалить установленную версию (код $1)." /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
  Delete "$0\Uninstall.exe"
  RMDir "$0"
FunctionEnd

Section "-Program"
  SetShellVarContext all
  Call WaitForPrograms  ; again: one may have started while the pages were shown
  Call RemovePreviousVersion
  !insertmacro VL_INSTALL_FILES
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateDirectory "$SMPROGRAMS\${CAPTION}"
  CreateShortcut "$SMPROGRAMS\${CAPTION}\${CAPTION}.lnk" "$INSTDIR\VLFWLoader.exe" "" \
    "$INSTDIR\VLFWLoader.exe" 0
  WriteRegStr HKLM "${PRODUCT_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${CAPTION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\VLFWLoader.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Off unless chosen: a line's scripts may then call vlfwflash by name.
Section /o "Добавить папку программы в PATH (для vlfwflash)" SecPath
  ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
  ; The installer's strings hold 1023 characters: a longer PATH would come back cut
  ; short, and writing it would lose the rest; so would a PATH that the new entry (and
  ; the two separators of the search below) takes past that.
  StrLen $1 $0
  StrLen $2 $INSTDIR
  IntOp $2 $2 + $1
  IntOp $2 $2 + 3
  ${If} $2 >= ${NSIS_MAX_STRLEN}
  ${OrIf} $1 = 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "PATH не изменён: добавьте в него папку $INSTDIR сами." /SD IDOK
    Return
  ${EndIf}
  ${StrStr} $2 ";$0;" ";$INSTDIR;"
  ${If} $2 == ""
    WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$0;$INSTDIR"
    SendMessage ${HWND_BROADCAST} ${WM_WININICHANGE} 0 "STR:Environment" /TIMEOUT=5000
  ${EndIf}
  WriteRegDWORD HKLM "${PRODUCT_KEY}" "AddedToPath" 1
SectionEnd

; The PATH entry is kept over an upgrade, and asked for with /ADDTOPATH in silent mode.
Function .onInit
  ReadRegDWORD $0 HKLM "${PRODUCT_KEY}" "AddedToPath"
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/ADDTOPATH" $2
  ${IfNot} ${Errors}
  ${OrIf} $0 = 1
    SectionSetFlags ${SecPath} ${SF_SELECTED}
  ${EndIf}
  Call WaitForPrograms
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  ReadRegDWORD $0 HKLM "${PRODUCT_KEY}" "AddedToPath"
  ${If} $0 = 1
    ReadRegStr $1 HKLM "${ENVIRONMENT_KEY}" "Path"
    StrLen $2 $1
    ${If} $2 < ${NSIS_MAX_STRLEN}
      ${un.WordReplace} "$1;" ";$INSTDIR;" ";" "+" $3
      StrCpy $3 $3 -1  ; the ';' added above
      WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$3"
      SendMessage ${HWND_BROADCAST} ${WM_WININICHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${EndIf}
  ${EndIf}
  ; Only what the installer put there: a folder left with other files stays.
  !insertmacro VL_UNINSTALL_FILES
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${CAPTION}\${CAPTION}.lnk"
  RMDir "$SMPROGRAMS\${CAPTION}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${PRODUCT_KEY}"
SectionEnd
