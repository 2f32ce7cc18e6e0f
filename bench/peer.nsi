; The peer installer of the benchmark: an NSIS script that does setup.exe's job on the same
; package. Placed in the package folder beside setup.exe, it shows the read-me (setup.txt) and the
; install directory, copies every entry of its folder into the install directory, copies the
; package's system\*.sys into the system's drivers folder, replaces and starts both drivers as
; kernel-driver services through the service control manager (advapi32, called with the System
; plugin), and ends with a completion message, as setup.exe does on the NT family.
;
; makensis -DREADME=<package>\setup.txt -DOUTFILE=<out.exe> peer.nsi
Unicode false
SetCompressor /SOLID lzma
RequestExecutionLevel admin
Name "TALVEN"
OutFile "${OUTFILE}"
InstallDir "C:\Program Files\Orbanet\TALVEN 5.7"
LicenseData "${README}"
LicenseText "Please read this very important information."
AutoCloseWindow true
ShowInstDetails nevershow

Page license
Page directory
Page instfiles

!define SC_MANAGER_ALL_ACCESS 0xF003F
!define SERVICE_ALL_ACCESS 0xF01FF
!define SERVICE_KERNEL_DRIVER 1
!define SERVICE_AUTO_START 2
!define SERVICE_ERROR_NORMAL 1
!define SERVICE_CONTROL_STOP 1

Var Failures

; Stops and deletes the service NAME if it exists, then creates it for FILE and starts it;
; each failed create or start counts one failure. $0 holds the service control manager.
!macro ReplaceDriver NAME FILE
  System::Call 'advapi32::OpenServiceA(i r0, t "${NAME}", i ${SERVICE_ALL_ACCESS}) i .r1'
  ${If} $1 != 0
    System::Call '*(i, i, i, i, i, i, i) i .r3'
    System::Call 'advapi32::ControlService(i r1, i ${SERVICE_CONTROL_STOP}, i r3) i'
    System::Free $3
    System::Call 'advapi32::DeleteService(i r1) i'
    System::Call 'advapi32::CloseServiceHandle(i r1) i'
  ${EndIf}
  System::Call 'advapi32::CreateServiceA(i r0, t "${NAME}", t "${NAME}", i ${SERVICE_ALL_ACCESS}, \
      i ${SERVICE_KERNEL_DRIVER}, i ${SERVICE_AUTO_START}, i ${SERVICE_ERROR_NORMAL}, \
      t "$SYSDIR\drivers\${FILE}", i 0, i 0, i 0, i 0, i 0) i .r1'
  ${If} $1 == 0
    IntOp $Failures $Failures + 2
  ${Else}
    System::Call 'advapi32::StartServiceA(i r1, i 0, i 0) i .r2'
    ${If} $2 == 0
      IntOp $Failures $Failures + 1
    ${EndIf}
    System::Call 'advapi32::CloseServiceHandle(i r1) i'
  ${EndIf}
!macroend

!include LogicLib.nsh

Section "TALVEN"
  StrCpy $Failures 0
  CreateDirectory "$INSTDIR"
  CopyFiles /SILENT "$EXEDIR\*.*" "$INSTDIR"
  CopyFiles /SILENT "$EXEDIR\system\*.sys" "$SYSDIR\drivers"
  System::Call 'advapi32::OpenSCManagerA(i 0, i 0, i ${SC_MANAGER_ALL_ACCESS}) i .r0'
  ${If} $0 == 0
    StrCpy $Failures 4
  ${Else}
    !insertmacro ReplaceDriver "WinDriver" "windrvr.sys"
    !insertmacro ReplaceDriver "talvenkp" "talvenkp.sys"
    System::Call 'advapi32::CloseServiceHandle(i r0) i'
  ${EndIf}
  ${If} $Failures != 0
    MessageBox MB_OK "TALVEN installation was unsuccessful."
    SetErrorLevel 1
  ${Else}
    MessageBox MB_OK "TALVEN Installation Complete!"
  ${EndIf}
SectionEnd
