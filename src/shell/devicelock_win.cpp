#include "shell/devicelock.h"

#include <windows.h>
#include <sddl.h>

#include <string>

// A mutex in the "Global\" namespace is one for the whole machine, across the sessions of
// every user, remote ones and services included; without the prefix a name is per
// session (Kernel object namespaces, Microsoft Learn: learn.microsoft.com/windows/win32/
// termserv/kernel-object-namespaces). Creating a mutex there needs no privilege, unlike
// a file mapping.
//
// The default security of a named object gives access to its creator and the system
// only: a program of a second user would be refused even the wait. The mutex gets a
// DACL that lets everyone (WD) wait on it and release it, SYNCHRONIZE | MUTEX_MODIFY_STATE
// (Synchronization object security and access rights, Microsoft Learn:
// learn.microsoft.com/windows/win32/sync/synchronization-object-security-and-access-rights),
// and every program opens it asking for just that with CreateMutexExW: CreateMutexW asks
// for MUTEX_ALL_ACCESS, which that DACL refuses to other users.
//
// Who holds it is told by a second mutex of the holder's own name, made once the lock is
// held and gone with the holder's handles when it ends.
namespace {

constexpr wchar_t kLockName[] = L"Global\\VLFWLoaderDevices";
constexpr DWORD kAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE;

std::wstring HolderName(const QString& program) {
  return std::wstring(kLockName) + L"." + program.toStdWString();
}

HANDLE OpenSharedMutex(const std::wstring& name) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100001;;;WD)", SDDL_REVISION_1,
                                                            &descriptor, nullptr))
    return nullptr;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  HANDLE mutex = CreateMutexExW(&attributes, name.c_str(), 0, kAccess);
  LocalFree(descriptor);
  return mutex;
}

}  // namespace

class TDeviceLock::TPrivate {
public:
  QString Program;
  HANDLE Mutex = nullptr;
  HANDLE HolderTag = nullptr;
  bool Owned = false;
};

TDeviceLock::TDeviceLock(QString program) : d(std::make_unique<TPrivate>()) {
  d->Program = std::move(program);
}

TDeviceLock::~TDeviceLock() { Release(); }

bool TDeviceLock::TryAcquire() {
  if (d->Owned) return true;
  if (!d->Mutex) d->Mutex = OpenSharedMutex(kLockName);
  if (!d->Mutex) return false;
  // WAIT_ABANDONED: the holder ended without releasing it (it crashed); the lock is ours.
  const DWORD result = WaitForSingleObject(d->Mutex, 0);
  d->Owned = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
  if (d->Owned) d->HolderTag = OpenSharedMutex(HolderName(d->Program));
  return d->Owned;
}

void TDeviceLock::Release() {
  if (d->HolderTag) CloseHandle(d->HolderTag);
  d->HolderTag = nullptr;
  if (d->Mutex) {
    if (d->Owned) ReleaseMutex(d->Mutex);
    CloseHandle(d->Mutex);
  }
  d->Mutex = nullptr;
  d->Owned = false;
}

QString TDeviceLock::Holder() const {
  for (const char* program : kPrograms) {
    const QString name = QLatin1String(program);
    HANDLE tag = OpenMutexW(SYNCHRONIZE, FALSE, HolderName(name).c_str());
    if (tag) {
      CloseHandle(tag);
      return name;
    }
  }
  return {};
}
