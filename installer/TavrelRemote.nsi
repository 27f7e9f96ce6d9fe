; Tavrel Plus Remote, per-user installer: no administrator rights, the
; program and its help in the user's own programs folder, a Start-menu
; shortcut, and the choice to start the program (in the notification area)
; when the user signs in. Silent with /S; /NOAUTOSTART leaves the sign-in
; start out. Installed over an earlier install, it keeps the sign-in start as
; the user has it, and a copy it had to close is started again (when silent;
; the finish page offers it otherwise). The uninstaller removes everything it
; put there, and the settings only when the user asks (/REMOVESETTINGS when
; silent); a file it cannot remove keeps it in Apps.
;
;   makensis -DVERSION=<the project's version> -DFILE_VERSION=<a.b.c.d>
;            -DBIN_DIR=<folder with the program and its help>
;            -DICON_FILE=<program icon> -DOUT_FILE=<setup.exe> TavrelRemote.nsi
;
; installer/CMakeLists.txt passes them, the version from the project's.

; A 64-bit installer for a 64-bit program (it would not run where the
; installer could not).
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "WinMessages.nsh"
!include "Win\WinNT.nsh"

!ifndef BIN_DIR
  !error "BIN_DIR must name the folder that holds TavrelRemote.exe"
!endif
!ifndef ICON_FILE
  !error "ICON_FILE must name the program's icon"
!endif
!ifndef VERSION
  !error "VERSION must be the project's version"
!endif
!ifndef FILE_VERSION
  !error "FILE_VERSION must be the project's version in four numbers"
!endif
!ifndef OUT_FILE
  !define OUT_FILE "TavrelRemote-${VERSION}-setup.exe"
!endif

!define PRODUCT "Tavrel Plus Remote"
!define COMPANY "Quorvane"
!define EXE "TavrelRemote.exe"
!define HELP "TavrelRemote.html"
!define UNINSTALLER "Uninstall.exe"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TavrelPlusRemote"
!define SETTINGS_KEY "Software\${COMPANY}\${PRODUCT}"
!define PANEL_CLASS "#32770"
!define PANEL_TITLE "Quorvane - Tavrel Plus Remote"
!define ID_EXIT 134
; HKEY_CURRENT_USER as the system's calls take it (sign-extended to 64 bits).
!define HKCU_HANDLE -2147483647
!define RRF_RT_REG_BINARY 0x00000008

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${COMPANY} ${PRODUCT} ${VERSION}"
; Sharp at 200 % and more, as the program is, rather than stretched.
ManifestDPIAware true

!define MUI_ICON "${ICON_FILE}"
!define MUI_UNICON "${ICON_FILE}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_RUN_PARAMETERS "-show"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\${HELP}"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the help"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) 2026 ${COMPANY}"

; Set when the installer closed a running copy: a silent install starts the
; program again.
Var ClosedCopy

; Ends a running copy of the program the way its Exit command does, and waits
; for its process to end, not only for its window: the files are free only
; then. The program lets go of the serial port first, which takes up to a
; few seconds.
!macro CLOSE_RUNNING_COPY un
Function ${un}CloseRunningCopy
  Push $0
  Push $1
  FindWindow $0 "${PANEL_CLASS}" "${PANEL_TITLE}"
  ${If} $0 <> 0
    DetailPrint "Closing the running ${PRODUCT}"
    System::Call "user32::GetWindowThreadProcessId(p r0, *i 0 r1)"
    System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r1"
    SendMessage $0 ${WM_COMMAND} ${ID_EXIT} 0 /TIMEOUT=5000
    retry:
    ; WAIT_OBJECT_0 (0) once it has ended; without a handle the wait fails.
    System::Call "kernel32::WaitForSingleObject(p r1, i 30000) i .r0"
    ${If} $0 <> 0
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "${PRODUCT} is still running.$\r$\nExit it from its icon in the notification area, then choose Retry." \
        /SD IDCANCEL IDRETRY retry
      SetErrorLevel 2
      Abort "${PRODUCT} is still running."
    ${EndIf}
    System::Call "kernel32::CloseHandle(p r1)"
    !if "${un}" == ""
      StrCpy $ClosedCopy 1
    !endif
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_COPY ""
!insertmacro CLOSE_RUNNING_COPY "un."

Section "-${PRODUCT}" SecProgram
  Call CloseRunningCopy
  SetOutPath "$INSTDIR"
  ; A file still in use is left as it was (Ignore, the silent answer): the
  ; exit code says so.
  ClearErrors
  File "${BIN_DIR}/${EXE}"
  File "${BIN_DIR}/${HELP}"
  File "${BIN_DIR}/tavrelctl.exe"
  ${If} ${Errors}
    DetailPrint "Some files were in use and are not replaced."
    SetErrorLevel 2
  ${EndIf}
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The Start-menu shortcut shows the panel; the sign-in start stays in the
  ; notification area.
  CreateShortcut "${SHORTCUT}" "$INSTDIR\${EXE}" "-show" "$INSTDIR\${EXE}" 0 SW_SHOWNORMAL "" \
    "Operate the Tavrel Plus magnifier from this PC"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Start ${PRODUCT} when I sign in" SecAutostart
  ; No arguments: it starts in the notification area, hot keys ready.
  WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\${EXE}"'
  ; A start the user once switched off in Task Manager (or Settings > Apps >
  ; Startup) is switched on again by choosing it here.
  DeleteRegValue HKCU "${APPROVED_KEY}" "${PRODUCT}"
SectionEnd

Section "-Sign-in start not chosen"
  ${IfNot} ${SectionIsSelected} ${SecAutostart}
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    DeleteRegValue HKCU "${APPROVED_KEY}" "${PRODUCT}"
  ${EndIf}
SectionEnd

; 1 in $0 while the program starts at sign-in: its Run value is there, and
; Task Manager has not switched it off (the low bit of the first byte of its
; StartupApproved value, when there is one).
Function SignInStartIsOn
  ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
  ${If} $0 == ""
    StrCpy $0 0
    Return
  ${EndIf}
  System::Call "*(&i16) p .r1"
  System::Call "advapi32::RegGetValueW(p ${HKCU_HANDLE}, w '${APPROVED_KEY}', \
    w '${PRODUCT}', i ${RRF_RT_REG_BINARY}, p 0, p r1, *i 16) i .r2"
  System::Call "*$1(&i1 .r0)"
  System::Free $1
  ${If} $2 = 0
    IntOp $0 $0 & 1
    IntOp $0 $0 ^ 1
  ${Else}
    StrCpy $0 1
  ${EndIf}
FunctionEnd

Function .onInit
  StrCpy $ClosedCopy 0
  ; Over an earlier install the sign-in start is ticked as the user has it.
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    Call SignInStartIsOn
    ${If} $0 = 0
      !insertmacro UnselectSection ${SecAutostart}
    ${EndIf}
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/NOAUTOSTART" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

; A silent install made while the user works starts the copy it closed again,
; in the notification area as at sign-in: the hot keys work on at once.
Function .onInstSuccess
  ${If} ${Silent}
  ${AndIf} $ClosedCopy = 1
    Exec '"$INSTDIR\${EXE}"'
  ${EndIf}
FunctionEnd

Var RemoveSettings

Function un.onInit
  StrCpy $RemoveSettings 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    StrCpy $RemoveSettings 1
  ${EndIf}
FunctionEnd

; Removes $INSTDIR\NAME; the names it could not remove gather in $0.
!macro REMOVE_FILE NAME
  ClearErrors
  Delete "$INSTDIR\${NAME}"
  ${If} ${Errors}
    StrCpy $0 "$0$\r$\n    ${NAME}"
  ${EndIf}
!macroend

Section "Uninstall"
  Call un.CloseRunningCopy
  ${If} $RemoveSettings = 0
  ${AndIfNot} ${Silent}
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "Also remove your ${PRODUCT} settings (hot keys and window positions)?" \
      /SD IDNO IDNO keep_settings
    StrCpy $RemoveSettings 1
    keep_settings:
  ${EndIf}

  DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  DeleteRegValue HKCU "${APPROVED_KEY}" "${PRODUCT}"
  ${If} $RemoveSettings = 1
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\${COMPANY}"
  ${EndIf}
  Delete "${SHORTCUT}"

  ; A file still in use (tavrelctl.exe run by a script) keeps the uninstaller
  ; and its entry in Apps, so that what is left can be removed later.
  retry:
  StrCpy $0 ""
  !insertmacro REMOVE_FILE "${EXE}"
  !insertmacro REMOVE_FILE "${HELP}"
  !insertmacro REMOVE_FILE "tavrelctl.exe"
  ${If} $0 != ""
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "These files are in use and could not be removed:$0$\r$\n$\r$\nClose the program that uses them, then choose Retry. With Cancel, ${PRODUCT} stays in Settings > Apps, to be uninstalled again later." \
      /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Abort "Files in use are left in $INSTDIR."
  ${EndIf}

  ; The entry in Apps after the files, the folder last: its going is the sign
  ; that the uninstaller is done (it runs as a copy of itself).
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
SectionEnd
