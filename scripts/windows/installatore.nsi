; The Windows installer of Saettino Professional. Defines given by scripts/windows.sh:
;   VERSIONE, STAGING (the files to install), ICONA, ELENCO (the uninstaller's list), USCITA.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "x64.nsh"

!define NOME "Saettino Professional"
!define CHIAVE_DISINSTALLA "Software\Microsoft\Windows\CurrentVersion\Uninstall\SaettinoPro"

Name "${NOME}"
OutFile "${USCITA}"
InstallDir "$PROGRAMFILES64\SaettinoPro"
InstallDirRegKey HKLM "Software\SaettinoPro" "Cartella"
RequestExecutionLevel admin
BrandingText "${NOME} ${VERSIONE}"

VIProductVersion "${VERSIONE}.0"
VIAddVersionKey /LANG=1040 "ProductName" "${NOME}"
VIAddVersionKey /LANG=1040 "CompanyName" "SaettinoPro"
VIAddVersionKey /LANG=1040 "FileDescription" "Installazione di ${NOME}"
VIAddVersionKey /LANG=1040 "FileVersion" "${VERSIONE}"
VIAddVersionKey /LANG=1040 "ProductVersion" "${VERSIONE}"
VIAddVersionKey /LANG=1040 "LegalCopyright" "SaettinoPro"

!define MUI_ICON "${ICONA}"
!define MUI_UNICON "${ICONA}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\saettinopro.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Avvia ${NOME}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Italian"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${NOME} richiede Windows a 64 bit." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Programma" SezioneProgramma
  SectionIn RO
  SetOutPath "$INSTDIR"
  File /r "${STAGING}\*.*"
  WriteUninstaller "$INSTDIR\Disinstalla.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${NOME}"
  CreateShortcut "$SMPROGRAMS\${NOME}\${NOME}.lnk" "$INSTDIR\saettinopro.exe" "" "$INSTDIR\saettinopro.exe" 0
  CreateShortcut "$SMPROGRAMS\${NOME}\Disinstalla ${NOME}.lnk" "$INSTDIR\Disinstalla.exe"

  WriteRegStr HKLM "Software\SaettinoPro" "Cartella" "$INSTDIR"
  WriteRegStr HKLM "${CHIAVE_DISINSTALLA}" "DisplayName" "${NOME}"
  WriteRegStr HKLM "${CHIAVE_DISINSTALLA}" "DisplayVersion" "${VERSIONE}"
  WriteRegStr HKLM "${CHIAVE_DISINSTALLA}" "Publisher" "SaettinoPro"
  WriteRegStr HKLM "${CHIAVE_DISINSTALLA}" "DisplayIcon" "$INSTDIR\saettinopro.exe"
  WriteRegStr HKLM "${CHIAVE_DISINSTALLA}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${CHIAVE_DISINSTALLA}" "UninstallString" '"$INSTDIR\Disinstalla.exe"'
  WriteRegStr HKLM "${CHIAVE_DISINSTALLA}" "QuietUninstallString" '"$INSTDIR\Disinstalla.exe" /S'
  WriteRegDWORD HKLM "${CHIAVE_DISINSTALLA}" "NoModify" 1
  WriteRegDWORD HKLM "${CHIAVE_DISINSTALLA}" "NoRepair" 1
SectionEnd

; Only what the installer put there goes: the timing database and its backups live in
; the user's data folder (or, for a copy run from a writable folder, beside it) and stay.
Section "Uninstall"
  !include "${ELENCO}"
  Delete "$INSTDIR\Disinstalla.exe"
  RMDir "$INSTDIR"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${NOME}\${NOME}.lnk"
  Delete "$SMPROGRAMS\${NOME}\Disinstalla ${NOME}.lnk"
  RMDir "$SMPROGRAMS\${NOME}"

  DeleteRegKey HKLM "${CHIAVE_DISINSTALLA}"
  DeleteRegKey HKLM "Software\SaettinoPro"
SectionEnd
