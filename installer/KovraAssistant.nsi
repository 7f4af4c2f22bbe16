; Kovra Assistant for one user: no administrator rights, everything under the user's own folders
; and registry, and an uninstaller that takes away what this installer put there and nothing else.
;
; makensis -DIMAGE_DIR=<folder of the 32-bit images> -DOUT_DIR=<folder> KovraAssistant.nsi
;   (scripts/package gives it the release build's ship/; -DBUILD_DIR=<win32 build> takes src\app of that tree)
; Silent install: Setup.exe /S [/AUTOSTART] [/D=folder]; silent removal: Uninstall.exe /S

Unicode true
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!ifndef IMAGE_DIR
  !ifdef BUILD_DIR
    !define IMAGE_DIR "${BUILD_DIR}\src\app"
  !else
    !error "IMAGE_DIR (the folder of KovraAssistant.exe and KovraUtils.dll) is required"
  !endif
!endif
!ifndef OUT_DIR
  !define OUT_DIR "."
!endif

!define PRODUCT "Kovra Assistant"
!define EXE "KovraAssistant.exe"
!define PROGRAM "${IMAGE_DIR}\${EXE}"
; The program loads the hook library from its own folder: it must lie beside the program.
!define HOOKLIB "KovraUtils.dll"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KovraAssistant"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define CLASSES "Software\Classes"

; The version the program's version resource carries, so the two never disagree.
!getdllversion "${PROGRAM}" VER_
!define VERSION "${VER_1}.${VER_2}.${VER_3}.${VER_4}"

Name "${PRODUCT}"
OutFile "${OUT_DIR}\KovraAssistant-${VERSION}-setup.exe"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "LegalCopyright" "${PRODUCT}"

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Registers the program for a link scheme unless another program already answers it for this user.
!macro RegisterScheme SCHEME
  ReadRegStr $0 HKCU "${CLASSES}\${SCHEME}\shell\open\command" ""
  ${If} $0 == ""
  ${OrIf} $0 == '"$INSTDIR\${EXE}" "%1"'
    WriteRegStr HKCU "${CLASSES}\${SCHEME}" "" "URL:${SCHEME} link"
    WriteRegStr HKCU "${CLASSES}\${SCHEME}" "URL Protocol" ""
    WriteRegStr HKCU "${CLASSES}\${SCHEME}\DefaultIcon" "" '"$INSTDIR\${EXE}",0'
    WriteRegStr HKCU "${CLASSES}\${SCHEME}\shell\open\command" "" '"$INSTDIR\${EXE}" "%1"'
  ${EndIf}
!macroend

; Removes a scheme's registration only when it is still ours.
!macro UnregisterScheme SCHEME
  ReadRegStr $0 HKCU "${CLASSES}\${SCHEME}\shell\open\command" ""
  ${If} $0 == '"$INSTDIR\${EXE}" "%1"'
    DeleteRegKey HKCU "${CLASSES}\${SCHEME}"
  ${EndIf}
!macroend

Section "-Program" SecProgram
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${PROGRAM}"
  File "${IMAGE_DIR}\${HOOKLIB}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\${EXE}",0'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

  !insertmacro RegisterScheme "tel"
  !insertmacro RegisterScheme "callto"
SectionEnd

Section /o "Start when I sign in" SecAutostart
  WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\${EXE}"'
SectionEnd

Function .onInit
  ; A silent install chooses the sign-in entry on its command line.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/AUTOSTART" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecAutostart} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
  ${If} $0 == '"$INSTDIR\${EXE}"'
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}
  !insertmacro UnregisterScheme "tel"
  !insertmacro UnregisterScheme "callto"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; On a profile where this was the first per-user install, its parent key goes too.
  DeleteRegKey /ifempty HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall"
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\${HOOKLIB}"
  Delete "$INSTDIR\Uninstall.exe"
  ; Not recursive: files the user put there stay, and so does the folder then.
  RMDir "$INSTDIR"
  ; The per-user programs folder the install may have made goes too, if nothing else is in it.
  RMDir "$LOCALAPPDATA\Programs"
SectionEnd
