; A tiny real product for trying the launcher: makensis -DVERSION=N -DOUTFILE=product-N.exe.
; Installer and uninstaller are silent by their own script and ignore every switch we pass.
; The uninstaller keeps the habit of its kind: it hands over to a copy of itself in the temp
; folder and exits at once, so the copy finishes about 2 seconds after the original has ended.
!ifndef VERSION
  !error "define VERSION, e.g. makensis -DVERSION=1"
!endif
!ifndef OUTFILE
  !define OUTFILE "product-${VERSION}.exe"
!endif

Unicode true
Name "Example Product ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
SilentInstall silent
SilentUnInstall silent
InstallDir "$PROGRAMFILES\Example Product"

; The product's folder is named in full: in the uninstaller $INSTDIR is the uninstaller's folder.
!define PRODUCT_DIR "$PROGRAMFILES\Example Product"
!define INFORMATION_DIR "$PROGRAMFILES\InstallShield Installation Information\{}"
; Outside every folder the product owns, so it tells what happened across uninstalls.
!define HISTORY "C:\product-history.txt"

!macro History line
  FileOpen $0 "${HISTORY}" a
  FileSeek $0 0 END
  FileWrite $0 "${line}$\r$\n"
  FileClose $0
!macroend

Section
  SetOutPath "${PRODUCT_DIR}"
  FileOpen $0 "${PRODUCT_DIR}\product.txt" w
  FileWrite $0 "version ${VERSION}$\r$\n"
  FileClose $0
  CreateDirectory "${INFORMATION_DIR}"
  WriteUninstaller "${INFORMATION_DIR}\setup.exe"
  !insertmacro History "install ${VERSION}"
  SetErrorLevel 0
SectionEnd

; Leaves the information folder alone: whoever runs setup.exe deletes it, maybe at this very time.
Section "Uninstall"
  !insertmacro History "uninstall ${VERSION} begin"
  Sleep 2000
  Delete "${PRODUCT_DIR}\product.txt"
  RMDir "${PRODUCT_DIR}"
  !insertmacro History "uninstall ${VERSION} end"
  SetErrorLevel 0
SectionEnd
