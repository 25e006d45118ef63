; A tiny real product: makensis -DVERSION=N -DOUTFILE=product-N.exe. Installer and uninstaller
; are silent by their own script and ignore our switches. The uninstaller hands over to a copy of
; itself in the temporary folder and exits at once, as its kind does; the copy works 1 s longer.
Unicode true
; A 32-bit installer; -DTARGET=amd64-unicode makes a 64-bit one (see tests/CMakeLists.txt).
!ifdef TARGET
Target ${TARGET}
!endif
Name "Example Product ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
SilentInstall silent
SilentUnInstall silent
; Named in full: in the uninstaller $INSTDIR is the uninstaller's own folder. The 32-bit folder
; (Program Files (x86) on 64-bit Windows) also from a 64-bit installer, like a 32-bit product.
!define PRODUCT_DIR "$PROGRAMFILES32\Example Product"
!define INFORMATION_DIR "$PROGRAMFILES32\InstallShield Installation Information\{}"

; Outside every folder the product owns, so it tells what happened across uninstalls.
!macro History line
  FileOpen $0 "C:\product-history.txt" a
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
SectionEnd

; Leaves the information folder to whoever runs setup.exe.
Section "Uninstall"
  !insertmacro History "uninstall ${VERSION} begin"
  Sleep 1000
  Delete "${PRODUCT_DIR}\product.txt"
  RMDir "${PRODUCT_DIR}"
  !insertmacro History "uninstall ${VERSION} end"
SectionEnd
