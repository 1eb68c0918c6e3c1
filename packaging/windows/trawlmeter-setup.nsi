; The Windows installer of Trawlmeter. The visit database and the work folder live beside the
; program, so it installs per user into a folder that user can write, without elevation.
; packaging/windows/package.py runs makensis on it with the program folder's files listed in
; FILES_NSH (TRAWLMETER_INSTALL_FILES, TRAWLMETER_UNINSTALL_FILES, TRAWLMETER_PROGRAMS,
; TRAWLMETER_SIZE_KB).
; A 64-bit installer for the 64-bit programs: it also runs where Windows has no 32-bit layer
; (Wine without wine32, Server Core without WoW64).
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!ifndef VERSION | FILES_NSH | OUTFILE
    !error "package.py defines VERSION, FILES_NSH and OUTFILE"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Trawlmeter"
!define UNINSTALLER "uninstall.exe"
!define SHORTCUT "$SMPROGRAMS\Trawlmeter.lnk"
!define WINDOW_PROGRAM "trawlmeter.exe"
!define DATABASE "rezOve.mdb"

Name "Trawlmeter"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Trawlmeter"
; Installing again goes where the last installation went, so the records there stay in use.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Trawlmeter ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!include MUI2.nsh
!include LogicLib.nsh

Var UnfinishText

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "$(UnconfirmText)"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$UnfinishText"
!insertmacro MUI_UNPAGE_FINISH

; The program speaks Chinese: Chinese is also the language of systems that are neither.
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "English"

LangString FileNotWritten ${LANG_SIMPCHINESE} "无法写入 $R0。$\r$\n安装已中止，请检查文件夹的权限和磁盘空间后重试。"
LangString FileNotWritten ${LANG_ENGLISH} "Cannot write $R0.$\r$\nThe installation was stopped: check the folder's permissions and the free disk space, then try again."
LangString ProgramInUse ${LANG_SIMPCHINESE} "$R0 正在运行。$\r$\n请先关闭 Trawlmeter（窗口和批处理），然后重试。未作任何更改。"
LangString ProgramInUse ${LANG_ENGLISH} "$R0 is running.$\r$\nClose Trawlmeter (the window and the batch) first, then try again. Nothing was changed."
LangString FileNotRemoved ${LANG_SIMPCHINESE} "无法删除 $R0。$\r$\n卸载已中止。"
LangString FileNotRemoved ${LANG_ENGLISH} "Cannot remove $R0.$\r$\nThe removal was stopped."
LangString UnconfirmText ${LANG_SIMPCHINESE} "将从以下文件夹卸载 Trawlmeter。访问记录数据库 ${DATABASE} 将保留在该文件夹中。"
LangString UnconfirmText ${LANG_ENGLISH} "Trawlmeter will be removed from the following folder. The visit database ${DATABASE} stays in it."
LangString UnfinishKept ${LANG_SIMPCHINESE} "Trawlmeter 已从您的计算机上卸载。$\r$\n$\r$\n您的访问记录数据库 ${DATABASE} 已保留在 $INSTDIR 中。不再需要这些记录时，可以自行删除该文件和文件夹。"
LangString UnfinishKept ${LANG_ENGLISH} "Trawlmeter has been removed from your computer.$\r$\n$\r$\nYour visit database ${DATABASE} was kept in $INSTDIR. Delete the file and the folder yourself when you no longer need its records."
LangString UnfinishGone ${LANG_SIMPCHINESE} "Trawlmeter 已从您的计算机上卸载。"
LangString UnfinishGone ${LANG_ENGLISH} "Trawlmeter has been removed from your computer."

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Trawlmeter"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Trawlmeter ${VERSION} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" ""

; Stops the installer or uninstaller with MESSAGE (about the path in $R0): a message box unless
; silent, exit status 2 either way, so a script never takes a half-done run for success.
!macro Fail MESSAGE
    DetailPrint "${MESSAGE}"
    MessageBox MB_OK|MB_ICONSTOP "${MESSAGE}" /SD IDOK
    SetErrorLevel 2
    Abort
!macroend

; A running program cannot be replaced or removed: check every one before touching any file.
!macro RequireStopped NAME
    ${If} ${FileExists} "$INSTDIR\${NAME}"
        ClearErrors
        FileOpen $R1 "$INSTDIR\${NAME}" a
        ${If} ${Errors}
            StrCpy $R0 "$INSTDIR\${NAME}"
            !insertmacro Fail "$(ProgramInUse)"
        ${EndIf}
        FileClose $R1
    ${EndIf}
!macroend

; A file of the program: a newer one replaces an older one.
!macro InstallFile NAME
    StrCpy $R0 "$INSTDIR\${NAME}"
    ClearErrors
    SetOverwrite try
    File "/oname=${NAME}" "${NAME}"
    ${If} ${Errors}
        !insertmacro Fail "$(FileNotWritten)"
    ${EndIf}
!macroend

; A file the operator keeps (the records, the published ranges he may have refreshed): only
; installed where none is.
!macro InstallKeptFile NAME
    ${IfNot} ${FileExists} "$INSTDIR\${NAME}"
        !insertmacro InstallFile "${NAME}"
    ${EndIf}
!macroend

!macro RemoveFile NAME
    StrCpy $R0 "$INSTDIR\${NAME}"
    ClearErrors
    Delete "$R0"
    ${If} ${Errors}
        !insertmacro Fail "$(FileNotRemoved)"
    ${EndIf}
!macroend

!include "${FILES_NSH}"

Section "Trawlmeter"
    SectionIn RO
    SetShellVarContext current
    !insertmacro TRAWLMETER_PROGRAMS RequireStopped
    SetOutPath "$INSTDIR"
    !insertmacro TRAWLMETER_INSTALL_FILES

    StrCpy $R0 "$INSTDIR\${UNINSTALLER}"
    ClearErrors
    WriteUninstaller "$R0"
    ${If} ${Errors}
        !insertmacro Fail "$(FileNotWritten)"
    ${EndIf}

    ; The Start menu leads to the window; a folder without it has nothing to start there.
    ${If} ${FileExists} "$INSTDIR\${WINDOW_PROGRAM}"
        CreateShortcut "${SHORTCUT}" "$INSTDIR\${WINDOW_PROGRAM}"
    ${EndIf}

    StrCpy $R0 "HKEY_CURRENT_USER\${UNINSTALL_KEY}"
    ClearErrors
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Trawlmeter"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    ${If} ${FileExists} "$INSTDIR\${WINDOW_PROGRAM}"
        WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${WINDOW_PROGRAM}"
    ${Else}
        WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${UNINSTALLER}"
    ${EndIf}
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${TRAWLMETER_SIZE_KB}
    ${If} ${Errors}
        !insertmacro Fail "$(FileNotWritten)"
    ${EndIf}
SectionEnd

Function .onInit
    SetShellVarContext current
FunctionEnd

; Removes what the installer put there and what a run leaves (temp\, the lock), never the visit
; database nor its write-ahead log, which may hold committed records not yet folded in.
Section "Uninstall"
    SetShellVarContext current
    !insertmacro TRAWLMETER_PROGRAMS RequireStopped
    !insertmacro TRAWLMETER_UNINSTALL_FILES

    ; A temp that is a link or a junction is removed as the link, never followed.
    System::Call 'kernel32::GetFileAttributesW(w "$INSTDIR\temp") i .r1'
    ${If} $1 <> -1
        IntOp $1 $1 & 0x400
        ${If} $1 <> 0
            RMDir "$INSTDIR\temp"
        ${Else}
            RMDir /r "$INSTDIR\temp"
        ${EndIf}
        ${If} ${FileExists} "$INSTDIR\temp"
            StrCpy $R0 "$INSTDIR\temp"
            !insertmacro Fail "$(FileNotRemoved)"
        ${EndIf}
    ${EndIf}
    !insertmacro RemoveFile "trawlmeter.lock"

    ; The registration and the shortcut are this folder's only when it was the last installed.
    ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $1 == $INSTDIR
        Delete "${SHORTCUT}"
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}

    Delete "$INSTDIR\${UNINSTALLER}"
    ; The folder goes only when nothing is left in it.
    RMDir "$INSTDIR"
    ${If} ${FileExists} "$INSTDIR\${DATABASE}"
        StrCpy $UnfinishText "$(UnfinishKept)"
    ${Else}
        StrCpy $UnfinishText "$(UnfinishGone)"
    ${EndIf}
    DetailPrint "$UnfinishText"
SectionEnd

Function un.onInit
    SetShellVarContext current
FunctionEnd
