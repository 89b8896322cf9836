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
