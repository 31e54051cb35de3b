; The Windows installer of gridwright-flatten, built by scripts/package-windows.sh:
;   makensis -DVERSION=0.99 -DSTAGE=folder -DOUTFILE=setup.exe installer.nsi
; For the painter alone (no administrator's rights asked): the program, its
; README and licences under %LOCALAPPDATA%\Programs\Gridwright, a Start menu
; entry opening a command prompt where the program can be run by name, and
; an entry in "Installed apps" to remove it all again. The system's and the
; user's PATH are left as they are: rewriting them is where installers lose
; the paths other programs put there.
Unicode true
; 64-bit, as the program is (and Wine here runs 64-bit programs only).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
Name "Gridwright ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Gridwright"
ShowInstDetails show
ShowUninstDetails show

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Gridwright"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Gridwright"
  SetOutPath "$INSTDIR"
  File "${STAGE}\gridwright-flatten.exe"
  File "${STAGE}\README.txt"
  SetOutPath "$INSTDIR\licenses"
  File "${STAGE}\licenses\*.txt"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Gridwright"
  CreateShortCut "$SMPROGRAMS\Gridwright\Gridwright command line.lnk" "$SYSDIR\cmd.exe" \
    '/k set "PATH=$INSTDIR;%PATH%" && gridwright-flatten.exe --version' "" "" SW_SHOWNORMAL "" \
    "A command prompt where gridwright-flatten can be run by name"
  CreateShortCut "$SMPROGRAMS\Gridwright\Read me.lnk" "$INSTDIR\README.txt"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Gridwright ${VERSION} (command line)"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Gridwright authors"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Only what the installer put there: a painter's own files in the folder stay.
Section "Uninstall"
  Delete "$INSTDIR\gridwright-flatten.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\licenses\*.txt"
  RMDir "$INSTDIR\licenses"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Gridwright\Gridwright command line.lnk"
  Delete "$SMPROGRAMS\Gridwright\Read me.lnk"
  RMDir "$SMPROGRAMS\Gridwright"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
