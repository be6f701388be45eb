; The Windows installer: welcome, licence, folder, install and finish pages (the finish page offers
; to start the program), the program and everything it needs in Program Files, a Start-menu entry,
; an uninstaller, and an entry under "Apps & features" with the program's icon, version, publisher
; and size. The uninstaller removes exactly what was installed; the user's settings in the registry
; stay. setup.exe /S installs silently, uninstall.exe /S uninstalls silently.
; makensis -DVERSION=<version> -DFILE_VERSION=<a.b.c.d> -DFILES=<file list .nsh> -DICON=<program icon>
;          -DLICENSE=<licence text> -DOUTFILE=<setup.exe>
; A 64-bit installer for the 64-bit program: it runs where the program runs, and sees the 64-bit
; Program Files folder and registry.
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "${FILES}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrelle"

Name "Vantrelle" "Vantrelle ${VERSION}"
Caption "Vantrelle ${VERSION} Setup"
UninstallCaption "Vantrelle ${VERSION} Uninstall"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vantrelle"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show
VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Vantrelle"
VIAddVersionKey /LANG=1033 "CompanyName" "Kestrom"
VIAddVersionKey /LANG=1033 "FileDescription" "Vantrelle Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2026 Kestrom"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; The installation page stays, with what was done, until Next is pressed.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_FINISHPAGE_RUN "$INSTDIR\vantrelle.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Run Vantrelle"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Vantrelle"
    SetRegView 64
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    !insertmacro InstallFiles
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Vantrelle.lnk" "$INSTDIR\vantrelle.exe" "" "$INSTDIR\vantrelle.exe" 0
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vantrelle"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Kestrom"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vantrelle.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ; The size "Apps & features" shows, in KiB: what is in the folder now, the uninstaller included.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Started as "Apps & features" starts it, the uninstaller copies itself into a folder ~nsu*.tmp in the
; temporary folder and runs from there, so that it can remove its own file in the program's folder;
; Windows is asked to delete the copy and its folder at its next start, the folder first. That
; request fails on a folder not yet empty, so it is made once more after the copy, and the folder
; goes too.
Function un.onInit
    ${GetFileName} "$EXEDIR" $0
    StrCpy $0 $0 4
    StrCmp $0 "~nsu" 0 done
    Delete /REBOOTOK "$EXEPATH"
    RMDir /REBOOTOK "$EXEDIR"
    ; Nothing of the program's own waits for a restart.
    SetRebootFlag false
done:
FunctionEnd

Section "Uninstall"
    SetRegView 64
    SetShellVarContext all
    Delete "$SMPROGRAMS\Vantrelle.lnk"
    !insertmacro RemoveFiles
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
