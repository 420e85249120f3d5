; The Tidewire installer (NSIS 3). It holds both builds and installs the one that matches the
; machine: x64 on 64-bit x86 Windows, x86 everywhere else.
;
;   per user (default)  no elevation; the program folder under the user's local application
;                       data, a Start-menu entry and an uninstall entry for the current user;
;                       the library is not registered (TidewireApp creates the control through
;                       its side-by-side assembly)
;   /ALLUSERS           elevated; Program Files, the Start menu and uninstall entry of all users,
;                       and the library registered with regsvr32 for every container (on 64-bit
;                       x86 Windows the x64 library and, in x86\, the x86 one for 32-bit
;                       containers)
;   /AUTOSTART          ticks "Start Tidewire when I sign in" (the Run key of the current user,
;                       or of the machine in the all-users mode)
;   /S                  silent; /D=FOLDER (last, unquoted) another program folder
;
; Installing over an installed version upgrades it in place: a TidewireApp running from the
; program folder is asked to close (it saves its values as when the user closes it) and is
; started again afterwards. The uninstaller keeps the user's values unless "Also remove my
; settings" is ticked (a silent uninstall keeps them).
;
; scripts/package defines VERSION (from the project's single definition), STAGE (a folder with
; x86\ and x64\ holding each build's files, and LICENSE.txt and README.txt), ICON and OUTFILE;
; TARGET picks another NSIS stub (the default is x86-unicode, which runs on every Windows).

Unicode true
!ifdef TARGET
  Target ${TARGET}
!endif
!ifndef VERSION | STAGE | ICON | OUTFILE
  !error "VERSION, STAGE, ICON and OUTFILE are defined by scripts/package"
!endif

!include LogicLib.nsh
!include FileFunc.nsh
!include MUI2.nsh
!include nsDialogs.nsh
!include WinMessages.nsh
!include x64.nsh

!define PUBLISHER "QUENMAR"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tidewire"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Tidewire"
!define VALUES_PARENT_KEY "SOFTWARE\QUENMAR"
!define VALUES_KEY "${VALUES_PARENT_KEY}\TidewireGadget"
!define CONTROL_CLSID "{69720D23-6694-45DC-97B3-E39BB5F41A82}"
!define ERROR_ELEVATION_REQUIRED 740
!define CLOSE_WAIT_MS 20000

Name "Tidewire"
Caption "Tidewire ${VERSION} Setup"
UninstallCaption "Tidewire ${VERSION} Uninstall"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true
; A file that cannot be written stops the installation; it is never skipped.
AllowSkipFiles off
ShowInstDetails show
ShowUninstDetails show
BrandingText "Tidewire ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Tidewire"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "Tidewire ${VERSION} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (c) The Tidewire developers (MIT License)"

Var AllUsers    ; 1: the all-users mode
Var Build       ; x64 or x86: the build that fits this machine
Var Windows64   ; 1: 64-bit Windows (x64 or ARM64)
Var AutoStart   ; 1: a Run value starts TidewireApp at sign-in
Var WasRunning  ; 1: a TidewireApp from the program folder was closed for the installation
Var Restarted   ; 1: it has been started again
Var Earlier     ; the program folder of an installed version, or empty
Var AutoStartBox
Var RemoveSettings
Var RemoveSettingsBox
Var ModeText    ; what the welcome page says about the mode

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "Tidewire is a desktop news ticker: it reads the news feeds you \
  subscribe to and lets their headlines creep across a narrow band on your desktop.$\r$\n$\r$\n\
  $ModeText$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipFolderOnUpgrade
!insertmacro MUI_PAGE_DIRECTORY
Page custom OptionsPage OptionsPageLeave
!define MUI_FINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Tidewire now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
!insertmacro MUI_PAGE_FINISH

UninstPage custom un.OptionsPage un.OptionsPageLeave
!define MUI_UNFINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

; Functions that installer and uninstaller share (NSIS wants the uninstaller's copies named un.*).
!macro SharedFunctions un
  ; $Build: x64 where the processor is 64-bit x86, else x86 (which also runs on Windows for
  ; ARM). The registry and the system folder are those of the 64-bit system where it has one.
  Function ${un}ChooseBuild
    ${If} ${IsNativeAMD64}
      StrCpy $Build x64
    ${Else}
      StrCpy $Build x86
    ${EndIf}
    !if ${NSIS_PTR_SIZE} > 4
      StrCpy $Windows64 1
    !else
      ${If} ${RunningX64}
        StrCpy $Windows64 1
      ${EndIf}
    !endif
    Call ${un}DefaultRegView
  FunctionEnd

  Function ${un}DefaultRegView
    ${If} $Windows64 = 1
      SetRegView 64
    ${EndIf}
  FunctionEnd

  ; The all-users mode needs an administrator. Without one, an interactive run asks for
  ; elevation by starting itself again; a silent one ends with ERROR_ELEVATION_REQUIRED, as a
  ; deployment tool should have started it elevated.
  ;
  ; NSIS takes /D= (the installer's folder) and _?= (the uninstaller's) off $CMDLINE. The
  ; installer passes /D= on, last as NSIS requires, with the folder it was given. The
  ; uninstaller runs as a copy of itself in the temporary folder ($EXEPATH) that the program
  ; folder's uninstaller started with _?=$INSTDIR; that copy, started again, would take the
  ; temporary folder for the program folder. So the elevated run is the program folder's own
  ; uninstaller with the same switches: like any start of it, it runs an (elevated) copy of
  ; itself with _?=$INSTDIR. Given _?= itself, it would run in place, and an uninstaller that
  ; runs from the program folder cannot delete itself or the folder.
  Function ${un}RequireAdministrator
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
      ${If} ${Silent}
        SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
        Quit
      ${EndIf}
      ${GetParameters} $1
      !if "${un}" == "un."
        ExecShell "runas" "$INSTDIR\uninstall.exe" "$1"
      !else
        ${If} $INSTDIR != ""
          StrCpy $1 "$1 /D=$INSTDIR"
        ${EndIf}
        ExecShell "runas" "$EXEPATH" "$1"
      !endif
      Quit
    ${EndIf}
  FunctionEnd

  ; Asks every TidewireApp that runs from $INSTDIR to close: WM_CLOSE to its main window (the
  ; unowned dialog window of the process), as when the user closes it, so that it saves its
  ; values; then waits for the process to end. $WasRunning = 1 if one ran. A program that does
  ; not end in time is named to the user (silent: the run stops).
  Function ${un}CloseRunningProgram
    StrCpy $WasRunning 0
    StrCpy $R0 0
    ${Do}
      FindWindow $R0 "#32770" "" 0 $R0
      ${If} $R0 P= 0
        ${Break}
      ${EndIf}
      System::Call "user32::GetWindow(p R0, i 4) p .r1"
      ${If} $1 P<> 0
        ${Continue}
      ${EndIf}
      System::Call "user32::GetWindowThreadProcessId(p R0, *i .r2)"
      ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
      System::Call "kernel32::OpenProcess(i 0x00101000, i 0, i r2) p .r3"
      ${If} $3 P= 0
        ${Continue}
      ${EndIf}
      StrCpy $5 ${NSIS_MAX_STRLEN}
      System::Call "kernel32::QueryFullProcessImageNameW(p r3, i 0, w .r4, *i r5) i .r6"
      ${If} $6 <> 0
      ${AndIf} $4 == "$INSTDIR\TidewireApp.exe"
        DetailPrint "Closing Tidewire (process $2)"
        System::Call "user32::PostMessageW(p R0, i ${WM_CLOSE}, p 0, p 0)"
        System::Call "kernel32::WaitForSingleObject(p r3, i ${CLOSE_WAIT_MS}) i .r7"
        System::Call "kernel32::CloseHandle(p r3)"
        ${If} $7 <> 0
          MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
            "Tidewire is still running from $INSTDIR.$\r$\nClose it and click Retry." \
            /SD IDCANCEL IDRETRY retry
          SetErrorLevel 2
          Quit
          retry:
        ${EndIf}
        StrCpy $WasRunning 1
        ; The list of windows has changed: look again from its start.
        StrCpy $R0 0
      ${Else}
        System::Call "kernel32::CloseHandle(p r3)"
      ${EndIf}
    ${Loop}
  FunctionEnd

  ; An in-process server loads only into a process of its own kind, and on 64-bit Windows the
  ; registry redirector gives 32-bit processes a view of HKLM\Software\Classes of their own: a
  ; 32-bit container finds only what a 32-bit regsvr32 wrote. So each library is registered by
  ; the regsvr32 of its kind, in the view its containers read: the x64 one by System32's (which
  ; a 32-bit installer reaches only with file-system redirection off), the x86 one by
  ; SysWOW64's. $1 is the library, $2 its build (x64 or x86), $0 the switches; $0 becomes the
  ; exit code, or "not started".
  Function ${un}Regsvr32
    ${If} $2 == x64
      ${DisableX64FSRedirection}
    ${EndIf}
    ClearErrors
    ${If} $2 == x64
    ${OrIf} $Windows64 != 1
      ExecWait '"$SYSDIR\regsvr32.exe" $0 "$1"' $0
    ${Else}
      ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" $0 "$1"' $0
    ${EndIf}
    ; With an output variable ExecWait reports a program that did not start only by the error
    ; flag; the variable is then undefined.
    ${If} ${Errors}
      StrCpy $0 "not started"
    ${EndIf}
    ${If} $2 == x64
      ${EnableX64FSRedirection}
    ${EndIf}
  FunctionEnd

  ; Removes the registration of library $1 (build $2) if it names that file: the class key in
  ; the registry view of the build's regsvr32.
  Function ${un}UnregisterIfOwn
    ${If} $2 == x64
      SetRegView 64
    ${ElseIf} $Windows64 = 1
      SetRegView 32
    ${EndIf}
    ReadRegStr $0 HKCR "CLSID\${CONTROL_CLSID}\InprocServer32" ""
    Call ${un}DefaultRegView
    ${If} $0 == $1
      DetailPrint "Unregistering $1"
      StrCpy $0 "/u /s"
      Call ${un}Regsvr32
    ${EndIf}
  FunctionEnd

  ; The all-users mode registers the library of this machine's build and, on 64-bit x86
  ; Windows, the x86 one in x86\; in either mode the control registers itself wherever it may
  ; when it is created. The registrations that name this folder's libraries go.
  Function ${un}UnregisterLibraries
    StrCpy $1 "$INSTDIR\Tidewire.dll"
    StrCpy $2 $Build
    Call ${un}UnregisterIfOwn
    ${If} $Build == x64
      StrCpy $1 "$INSTDIR\x86\Tidewire.dll"
      StrCpy $2 x86
      Call ${un}UnregisterIfOwn
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro SharedFunctions ""
!insertmacro SharedFunctions "un."

Function .onInit
  Call ChooseBuild
  ${GetParameters} $R9
  ClearErrors
  ${GetOptions} $R9 "/ALLUSERS" $0
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R9 "/AUTOSTART" $0
  ${IfNot} ${Errors}
    StrCpy $AutoStart 1
  ${EndIf}

  ${If} $AllUsers = 1
    Call RequireAdministrator
    SetShellVarContext all
    StrCpy $ModeText "This installs Tidewire ${VERSION} for all users of this computer, and \
      registers its control for every program that hosts it."
  ${Else}
    SetShellVarContext current
    StrCpy $ModeText "This installs Tidewire ${VERSION} for you alone: nothing changes for \
      other users of this computer, and no administrator rights are needed."
  ${EndIf}
  ; An installed version of the same mode is upgraded in its folder unless /D names another.
  ReadRegStr $Earlier SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $INSTDIR == ""
    ${If} $Earlier != ""
      StrCpy $INSTDIR $Earlier
    ${ElseIf} $AllUsers = 1
    ${AndIf} $Build == x64
      StrCpy $INSTDIR "$PROGRAMFILES64\Tidewire"
    ${ElseIf} $AllUsers = 1
      StrCpy $INSTDIR "$PROGRAMFILES\Tidewire"
    ${Else}
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Tidewire"
    ${EndIf}
  ${EndIf}
  ; An upgrade keeps the sign-in choice made before: the Run value of the mode (the machine's
  ; in the all-users mode), or the installing account's own, where an all-users installation
  ; of an earlier version wrote it.
  ReadRegStr $0 SHCTX "${RUN_KEY}" "${RUN_VALUE}"
  ReadRegStr $1 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $Earlier != ""
    ${If} $0 == '"$Earlier\TidewireApp.exe"'
    ${OrIf} $1 == '"$Earlier\TidewireApp.exe"'
      StrCpy $AutoStart 1
    ${EndIf}
  ${EndIf}
FunctionEnd

Function SkipFolderOnUpgrade
  ${If} $Earlier != ""
    Abort
  ${EndIf}
FunctionEnd

Function OptionsPage
  !insertmacro MUI_HEADER_TEXT "Options" "Choose when Tidewire starts."
  nsDialogs::Create 1018
  Pop $0
  ${If} $AllUsers = 1
    ${NSD_CreateCheckbox} 0 0 100% 12u "Start Tidewire when a user signs in"
  ${Else}
    ${NSD_CreateCheckbox} 0 0 100% 12u "Start Tidewire when I sign in"
  ${EndIf}
  Pop $AutoStartBox
  ${If} $AutoStart = 1
    ${NSD_Check} $AutoStartBox
  ${EndIf}
  ${NSD_CreateLabel} 0 20u 100% 40u "Tidewire is installed in $INSTDIR and gets an entry in \
    the Start menu. It keeps your feeds, reload period, speed and the band's place in your part \
    of the registry; uninstalling keeps them unless you ask otherwise."
  Pop $0
  nsDialogs::Show
FunctionEnd

Function OptionsPageLeave
  ${NSD_GetState} $AutoStartBox $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $AutoStart 1
  ${Else}
    StrCpy $AutoStart 0
  ${EndIf}
FunctionEnd

Section "Tidewire" MainSection
  SectionIn RO
  Call CloseRunningProgram
  ; Installed elsewhere before (another /D): that copy goes first, its values stay.
  ${If} $Earlier != ""
  ${AndIf} $Earlier != $INSTDIR
  ${AndIf} ${FileExists} "$Earlier\uninstall.exe"
    DetailPrint "Removing the copy in $Earlier"
    InitPluginsDir
    CopyFiles /SILENT "$Earlier\uninstall.exe" "$PLUGINSDIR\earlier-uninstall.exe"
    ExecWait '"$PLUGINSDIR\earlier-uninstall.exe" /S _?=$Earlier'
    Delete "$Earlier\uninstall.exe"
    RMDir "$Earlier"
  ${EndIf}

  SetOutPath "$INSTDIR"
  ${If} $Build == x64
    File "${STAGE}\x64\TidewireApp.exe"
    File "${STAGE}\x64\Tidewire.dll"
    File "${STAGE}\x64\Tidewire.sxs.manifest"
  ${Else}
    File "${STAGE}\x86\TidewireApp.exe"
    File "${STAGE}\x86\Tidewire.dll"
    File "${STAGE}\x86\Tidewire.sxs.manifest"
  ${EndIf}
  ${If} $AllUsers = 1
  ${AndIf} $Build == x64
    ; For the 32-bit containers of this machine.
    SetOutPath "$INSTDIR\x86"
    File "${STAGE}\x86\Tidewire.dll"
    SetOutPath "$INSTDIR"
  ${EndIf}
  File "${STAGE}\LICENSE.txt"
  File "${STAGE}\README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ${If} $AllUsers = 1
    StrCpy $1 "$INSTDIR\Tidewire.dll"
    StrCpy $2 $Build
    Call RegisterLibrary
    ${If} $Build == x64
      ; A 64-bit Windows without its 32-bit subsystem (an optional feature of Server Core)
      ; runs no 32-bit program, so no container could load the x86 library.
      ${If} ${FileExists} "$WINDIR\SysWOW64\regsvr32.exe"
        StrCpy $1 "$INSTDIR\x86\Tidewire.dll"
        StrCpy $2 x86
        Call RegisterLibrary
      ${Else}
        DetailPrint "No 32-bit Windows subsystem: the x86 library is not registered"
      ${EndIf}
    ${EndIf}
  ${EndIf}

  CreateShortcut "$SMPROGRAMS\Tidewire.lnk" "$INSTDIR\TidewireApp.exe" "" \
    "$INSTDIR\TidewireApp.exe" 0 SW_SHOWNORMAL "" "Desktop news ticker"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Tidewire"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\TidewireApp.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $1

  ; The all-users mode starts the program for every user who signs in: the machine's Run key.
  ; (The installer runs as the administrator who elevated it, whose own Run key it is not.)
  Call RemoveOwnRunValue
  ${If} $AutoStart = 1
    WriteRegStr SHCTX "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\TidewireApp.exe"'
  ${EndIf}

  ${If} $WasRunning = 1
    Call StartProgram
  ${EndIf}
SectionEnd

; Registers library $1 (build $2) for all users. A registration that fails ends the
; installation (exit code 3) and takes back the registrations made before it.
Function RegisterLibrary
  DetailPrint "Registering $1 for all users"
  StrCpy $0 "/s"
  Call Regsvr32
  ${If} $0 != 0
    StrCpy $3 $0
    StrCpy $4 $1
    Call UnregisterLibraries
    MessageBox MB_ICONSTOP "$4 could not be registered (regsvr32: $3)." /SD IDOK
    SetErrorLevel 3
    Abort
  ${EndIf}
FunctionEnd

; The program starts for the user who ran the installer. The elevated all-users installer runs
; as the administrator who elevated it (with UAC, another account when the user is not an
; administrator), and a program it started would run as that account, elevated. Microsoft's
; answer for starting an un-elevated program from an elevated one is to ask the shell, which
; runs as the user signed in to the session: explorer.exe, given a program, hands it to the
; shell that runs and ends, so the program starts as that user, without elevation.
Function StartProgram
  ${If} $Restarted != 1
    ${If} $AllUsers = 1
      Exec '"$WINDIR\explorer.exe" "$INSTDIR\TidewireApp.exe"'
    ${Else}
      Exec '"$INSTDIR\TidewireApp.exe"'
    ${EndIf}
    StrCpy $Restarted 1
  ${EndIf}
FunctionEnd

; A program started again after the upgrade needs no second start from the finish page.
Function FinishPageShow
  ${If} $Restarted = 1
    ShowWindow $mui.FinishPage.Run 0
  ${EndIf}
FunctionEnd

!macro RemoveOwnRunValueFunction un
  ; The Run value goes only when it starts this folder's program: the mode's own, and the
  ; installing account's, where an all-users installation of an earlier version wrote it.
  Function ${un}RemoveOwnRunValue
    ReadRegStr $0 SHCTX "${RUN_KEY}" "${RUN_VALUE}"
    ${If} $0 == '"$INSTDIR\TidewireApp.exe"'
      DeleteRegValue SHCTX "${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
    ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ${If} $0 == '"$INSTDIR\TidewireApp.exe"'
      DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro RemoveOwnRunValueFunction ""
!insertmacro RemoveOwnRunValueFunction "un."

; The uninstall entry that names the uninstaller's folder tells the mode. An uninstaller whose
; folder no entry names removes nothing.
Function un.onInit
  Call un.ChooseBuild
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    StrCpy $AllUsers 1
    Call un.RequireAdministrator
    SetShellVarContext all
  ${ElseIf} $1 == $INSTDIR
    SetShellVarContext current
  ${Else}
    MessageBox MB_ICONSTOP "Tidewire is not installed in $INSTDIR." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Function un.OptionsPage
  !insertmacro MUI_HEADER_TEXT "Uninstall Tidewire" "Remove Tidewire from this computer."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 24u "Tidewire will be removed from $INSTDIR. Click Uninstall to \
    continue."
  Pop $0
  ${NSD_CreateCheckbox} 0 30u 100% 12u "Also remove my settings"
  Pop $RemoveSettingsBox
  ${NSD_CreateLabel} 12u 44u -12u 32u "Your feeds, reload period, speed and the band's place \
    stay in the registry for a later installation unless you tick this."
  Pop $0
  GetDlgItem $0 $HWNDPARENT 1
  SendMessage $0 ${WM_SETTEXT} 0 "STR:&Uninstall"
  nsDialogs::Show
FunctionEnd

Function un.OptionsPageLeave
  ${NSD_GetState} $RemoveSettingsBox $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $RemoveSettings 1
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.CloseRunningProgram
  Call un.UnregisterLibraries

  Delete "$INSTDIR\TidewireApp.exe"
  Delete "$INSTDIR\Tidewire.dll"
  Delete "$INSTDIR\x86\Tidewire.dll"
  RMDir "$INSTDIR\x86"
  Delete "$INSTDIR\Tidewire.sxs.manifest"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\Tidewire.lnk"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  Call un.RemoveOwnRunValue

  ${If} $RemoveSettings = 1
    DetailPrint "Removing your settings"
    DeleteRegValue HKCU "${VALUES_KEY}" "Settings"
    DeleteRegValue HKCU "${VALUES_KEY}" "ClientSettings"
    DeleteRegValue HKCU "${VALUES_KEY}" "ClientDpi"
    DeleteRegKey /ifempty HKCU "${VALUES_KEY}"
    DeleteRegKey /ifempty HKCU "${VALUES_PARENT_KEY}"
  ${EndIf}
SectionEnd
