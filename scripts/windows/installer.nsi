; The Windows installer of 砚舟写作系统: a per-user install, no administrator
; rights, into %LOCALAPPDATA%\Programs\砚舟写作系统. The folder stays the
; user's to write, so the program keeps its portable layout there: novels in
; data\ beside the program. The uninstaller removes the program's own files
; and nothing the user made: not data\, not .备份, not Config.ini.
; Made by build.sh with:
;   makensis -INPUTCHARSET UTF8 -DVERSION=x.y -DSTAGE=<program folder>
;            -DOUTFILE=<setup.exe> -DFILES=<uninstall list .nsh> installer.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define PRODUCT "砚舟写作系统"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\yanzhou"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
Icon "${STAGE}\..\yanzhou.ico"
UninstallIcon "${STAGE}\..\yanzhou.ico"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${PRODUCT}"

!include "MUI2.nsh"
!define MUI_ICON "${STAGE}\..\yanzhou.ico"
!define MUI_UNICON "${STAGE}\..\yanzhou.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\yanzhou.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "${PRODUCT}"
  SetOutPath "$INSTDIR"
  ; The program replaces its older self; data\ is the user's from the first
  ; start on, so an update never writes over the sample novel there.
  File /r /x data "${STAGE}\*.*"
  SetOverwrite off
  SetOutPath "$INSTDIR\data"
  File "${STAGE}\data\*.*"
  SetOverwrite on
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\yanzhou.exe" "" "$INSTDIR\yanzhou.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\yanzhou.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  ; Only the files this installer put there, by name: what the user keeps
  ; beside the program stays, and so does the folder that holds it.
  !include "${FILES}"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  RMDir "$INSTDIR"
SectionEnd
