#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need.
# As root it runs apt-get; otherwise it prints the one line to run.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config python3 # python3: the layering check
  qt6-base-dev libgl-dev libqt6svg6
  qt6-webengine-dev # browser mode
  libcpp-httplib-dev libmicrohttpd-dev
  # the web page gateway fetches https pages with cpp-httplib's OpenSSL
  # client and verifies them against the system's authorities
  libssl-dev ca-certificates
  libgtest-dev libgmock-dev libbenchmark-dev
  famfamfam-flag-png adwaita-icon-theme fonts-liberation
  # Cyrillic, Han, kana and Hangul in one font: the smallest that covers all
  # four (1.6 MB download, 5.1 MB installed; Noto CJK is 57/91 MB)
  fonts-wqy-microhei
  apertium apertium-eng-spa apertium-fr-es apertium-es-pt apertium-spa-ita cg3
  # Apertium's own HTTP server, started by the remote engine tests and
  # bench_routing as a translation server on 127.0.0.1, and run beside ours
  # by bench/apy.sh
  apertium-apy
  curl
  # opening the manual, web and mail addresses on the desktop (xdg-open, and
  # xdg-mime to tell whether an application takes a file's type)
  xdg-utils
  # installing and packaging: icon pictures, checks of the desktop entry
  # and of the AppStream file
  librsvg2-bin desktop-file-utils appstream
  # documents: Word and OpenDocument files through LibreOffice Writer;
  # pdftotext/pdfinfo read the tests' printouts
  libreoffice-writer-nogui poppler-utils
  # whole documents: archives through libzip; the tests have LibreOffice
  # make workbooks and presentations too, the benchmark times apertium-apy
  # beside us (in a network namespace of its own: iproute2's ip), and the
  # fuzz seeds are zipped with zip
  libzip-dev libreoffice-calc-nogui libreoffice-impress-nogui apertium-apy iproute2 zip
  # language detection for "auto" (CLD2); libexttextcat only for bench_detect's
  # comparison
  libcld2-dev libexttextcat-dev
  # LibreTranslate's npm client runs against the service in the tests
  nodejs
  # LibreTranslate clients in front of the service: Debian's GNOME
  # translator Dialect, driven under Xvfb through AT-SPI (a session bus,
  # the accessibility bus, pyatspi), and the reverse proxies the README
  # shows (nginx-light, caddy), which the tests start on loopback
  dialect xvfb openbox dbus dbus-x11 at-spi2-core python3-pyatspi xdotool imagemagick
  nginx-light caddy
  # Vantudict, the dictionary: every FreeDict dictionary Debian has among
  # the ten languages (none for Chinese or Korean), read directly; zlib for
  # dictzip's chunks; Hunspell's stems; Apertium's bilingual dictionaries
  # through lttoolbox (its headers need libxml2's and ICU's). The tests start
  # dictd on loopback with a database made by dictfmt and dictzip; the
  # benchmark compares with dict.
  dict-freedict-deu-eng dict-freedict-deu-fra dict-freedict-deu-ita dict-freedict-deu-por
  dict-freedict-deu-rus dict-freedict-deu-spa dict-freedict-eng-deu dict-freedict-eng-fra
  dict-freedict-eng-ita dict-freedict-eng-jpn dict-freedict-eng-por dict-freedict-eng-rus
  dict-freedict-eng-spa dict-freedict-fra-deu dict-freedict-fra-eng dict-freedict-fra-ita
  dict-freedict-fra-jpn dict-freedict-fra-por dict-freedict-fra-rus dict-freedict-fra-spa
  dict-freedict-ita-deu dict-freedict-ita-eng dict-freedict-ita-jpn dict-freedict-ita-por
  dict-freedict-ita-rus dict-freedict-ita-spa dict-freedict-jpn-deu dict-freedict-jpn-eng
  dict-freedict-jpn-fra dict-freedict-jpn-rus dict-freedict-por-deu dict-freedict-por-eng
  dict-freedict-por-fra dict-freedict-por-spa dict-freedict-spa-deu dict-freedict-spa-eng
  dict-freedict-spa-por
  zlib1g-dev libhunspell-dev lttoolbox-dev libxml2-dev libicu-dev
  hunspell-en-us hunspell-de-de hunspell-fr hunspell-es hunspell-it hunspell-pt-pt hunspell-ru
  dictd dict dictfmt dictzip
)
# npm comes with some builds of nodejs; Debian's own is a package apart.
command -v npm >/dev/null || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
here=$(cd "$(dirname "$0")/.." && pwd)
# The npm client's packages come from the npm registry now, at the versions
# its lock file pins, never while the tests run.
npm_client() {
  if command -v npm >/dev/null && [[ ! -d "$here/tests/server/npm-client/node_modules" ]]; then
    (cd "$here/tests/server/npm-client" && npm ci --no-audit --no-fund --loglevel=error)
  fi
}
if [[ ${#missing[@]} -eq 0 ]]; then
  npm_client
  exit 0
fi

line="apt-get install -y --no-install-recommends ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
  echo "Some packages are missing. Run this as root, then try again:" >&2
  echo "  sudo $line" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
echo "Installing: ${missing[*]}"
if ! $line; then
  apt-get update
  $line
fi
# apertium-apy's package would start its server on every interface where
# systemd runs; the tests and benchmarks start their own on loopback.
if [[ " ${missing[*]} " == *" apertium-apy "* ]] && [[ -d /run/systemd/system ]]; then
  systemctl disable --now apertium-apy.service >/dev/null 2>&1 || true
fi
# dictd's package starts its daemon where systemd runs; the tests and the
# benchmark start their own on loopback, and the dictionary needs none.
if [[ " ${missing[*]} " == *" dictd "* ]] && [[ -d /run/systemd/system ]]; then
  systemctl disable --now dictd.service >/dev/null 2>&1 || true
fi
# nginx's and caddy's packages start their servers where systemd runs; the
# tests start their own on loopback.
for unit in nginx caddy; do
  if [[ " ${missing[*]} " == *" $unit"* ]] && [[ -d /run/systemd/system ]]; then
    systemctl disable --now "$unit.service" >/dev/null 2>&1 || true
  fi
done
npm_client
