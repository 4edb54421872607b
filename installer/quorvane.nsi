; The installer a Windows user runs: quorvane-setup.exe. It copies the
; toolbar (the 32-bit DLL, and on 64-bit Windows the x86_64 one for 64-bit
; browser tabs), the example definition with its bitmaps and icons into a folder under
; Program Files, registers the DLLs, and adds its own uninstaller.
; /S installs and uninstalls without asking.
;
; makensis -DDLL32=... [-DDLL64=...] -DEXAMPLES=... -DOUTFILE=... quorvane.nsi

!ifndef DLL32
  !error "DLL32 must name the i686 quorvane.dll"
!endif
!ifndef EXAMPLES
  !error "EXAMPLES must name the folder of the example definition"
!endif
!ifndef OUTFILE
  !define OUTFILE "quorvane-setup.exe"
!endif

!include "LogicLib.nsh"
!include "x64.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ostrivelquorvane"

Name "quorvane toolbar"
OutFile "${OUTFILE}"
Unicode true
RequestExecutionLevel admin
SetCompressor /SOLID lzma
InstallDir "$PROGRAMFILES\Ostrivel\quorvane"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "quorvane"
  SetOutPath "$INSTDIR"
  File "/oname=quorvane.dll" "${DLL32}"
  File "/oname=quorvane.tbd" "${EXAMPLES}/quorvane.tbd"
  File "${EXAMPLES}/*.bmp"
  File "${EXAMPLES}/*.ico"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The 32-bit regsvr32 of SysWOW64 on 64-bit Windows ($SYSDIR for a
  ; 32-bit installer).
  ExecWait '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\quorvane.dll"' $0
  ${If} $0 != 0
    DetailPrint "regsvr32 quorvane.dll failed: $0"
  ${EndIf}
!ifdef DLL64
  ${If} ${RunningX64}
    SetOutPath "$INSTDIR\x64"
    File "/oname=quorvane.dll" "${DLL64}"
    ${DisableX64FSRedirection}
    ExecWait '"$WINDIR\System32\regsvr32.exe" /s "$INSTDIR\x64\quorvane.dll"' $0
    ${EnableX64FSRedirection}
    ${If} $0 != 0
      DetailPrint "regsvr32 x64\quorvane.dll failed: $0"
    ${EndIf}
  ${EndIf}
!endif

  ; The installed-programs entry runs this uninstaller, which also removes
  ; the files, rather than the bare unregistration the DLL writes.
  SetRegView 32
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
SectionEnd

Section "Uninstall"
!ifdef DLL64
  ${If} ${RunningX64}
  ${AndIf} ${FileExists} "$INSTDIR\x64\quorvane.dll"
    ${DisableX64FSRedirection}
    ExecWait '"$WINDIR\System32\regsvr32.exe" /u /s "$INSTDIR\x64\quorvane.dll"'
    ${EnableX64FSRedirection}
    Delete /REBOOTOK "$INSTDIR\x64\quorvane.dll"
    RMDir "$INSTDIR\x64"
  ${EndIf}
!endif
  ExecWait '"$SYSDIR\regsvr32.exe" /u /s "$INSTDIR\quorvane.dll"'
  SetRegView 32
  DeleteRegValue HKLM "${UNINSTALL_KEY}" "QuietUninstallString"
  DeleteRegValue HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ; A browser may still hold the DLL: it goes at the next restart then.
  Delete /REBOOTOK "$INSTDIR\quorvane.dll"
  Delete "$INSTDIR\quorvane.tbd"
  Delete "$INSTDIR\quorvane.tbd.lastgood"
  Delete "$INSTDIR\*.bmp"
  Delete "$INSTDIR\*.ico"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$INSTDIR\.."
SectionEnd
