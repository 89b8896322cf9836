# The Debian packages each command needs, and installa_mancanti to install them.

# Building and running the program (and its simulator).
PACCHETTI_PROGRAMMA=(build-essential cmake pkg-config qt6-base-dev qt6-serialport-dev qt6-svg-dev
                     libsqlcipher-dev fonts-liberation2 qt6-translations-l10n
                     # QR codes for the live results page; the Excel export
                     libqrencode-dev libxlsxwriter-dev
                     # announcements and tones: Qt's speech and audio modules (Debian's speech CMake
                     # files also need the QML ones), the speech-dispatcher plugin with espeak-ng's
                     # voices, which include Italian
                     qt6-speech-dev qt6-declarative-dev qt6-multimedia-dev qt6-speech-speechd-plugin
                     speech-dispatcher speech-dispatcher-espeak-ng espeak-ng)

# What the test suite uses besides: PDF text, desktop entry and metainfo checks, a headless
# browser for the results page, and an independent reader of the Excel workbook.
PACCHETTI_PROVA=(poppler-utils desktop-file-utils appstream file chromium python3-openpyxl
                 # PulseAudio and sox record and measure what the voice says
                 pulseaudio pulseaudio-utils sox
                 # the timing device: its firmware built with avr-gcc, run on simavr's chip
                 gcc-avr avr-libc binutils-avr libsimavr-dev libelf-dev)

# installa_mancanti PKG...: installs the Debian packages of the list that are missing.
# As root it runs apt-get; otherwise it prints the exact command, for sudo and for su,
# and stops.
installa_mancanti() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local cmd="apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    bash -c "$cmd"
  else
    echo "Missing packages: ${missing[*]}"
    echo "Install them once, with either of these commands, then start again:"
    echo "  sudo bash -c '$cmd'"
    echo "  su -c '$cmd'"
    exit 1
  fi
}
