#!/usr/bin/env bash
# nginx and Caddy (Debian's nginx-light and caddy) in front of
# tarquell-service as the README configures them: the proxy passes its own
# name in Host, which --allow-host takes; a name not allowed still gets 421;
# a translated file's address names the proxy and downloads through it.
# Every server runs on loopback from a folder of the test's own.
#   proxy-fronts.sh BUILD_DIR
set -euo pipefail
service="$1/server/tarquell-service"
for tool in nginx caddy curl; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (scripts/deps.sh installs it)"
    exit 77
  fi
done
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
name=translate.example.org

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
wait_port() {
  for _ in $(seq 1 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "nothing answers on port $1"; return 1
}

XDG_CACHE_HOME="$work" "$service" --engine echo --listen 127.0.0.1:0 --allow-host "$name" \
  >"$work/service.out" 2>"$work/service.err" &
pids+=($!)
for _ in $(seq 1 100); do grep -q '^listening on' "$work/service.out" && break; sleep 0.1; done
address=$(sed -n 's/^listening on //p' "$work/service.out" | head -n1)
[[ -n "$address" ]] || { echo "tarquell-service did not start"; cat "$work/service.err"; exit 1; }

nginx_port=$(free_port)
cat >"$work/nginx.conf" <<CONF
daemon off;
pid $work/nginx.pid;
error_log $work/nginx.err;
events {}
http {
  access_log off;
  client_body_temp_path $work; proxy_temp_path $work; fastcgi_temp_path $work;
  uwsgi_temp_path $work; scgi_temp_path $work;
  server {
    listen 127.0.0.1:$nginx_port;
    server_name $name;
    client_max_body_size 65m;
    location / {
      proxy_pass http://$address;
      proxy_set_header Host \$http_host;
      proxy_set_header X-Forwarded-Proto \$scheme;
      proxy_read_timeout 600s;
    }
  }
}
CONF
nginx -c "$work/nginx.conf" -p "$work" &
pids+=($!)

caddy_port=$(free_port)
cat >"$work/Caddyfile" <<CONF
{
  admin off
  auto_https off
  storage file_system $work/caddy
}
http://$name:$caddy_port {
  bind 127.0.0.1
  reverse_proxy $address
}
CONF
HOME="$work" XDG_DATA_HOME="$work" XDG_CONFIG_HOME="$work" \
  caddy run --config "$work/Caddyfile" --adapter caddyfile >"$work/caddy.log" 2>&1 &
pids+=($!)
wait_port "$nginx_port"
wait_port "$caddy_port"

failed=0
check() { # what expected got
  if [[ "$3" != "$2" ]]; then echo "FAIL: $1: expected '$2', got '$3'"; failed=1; else echo "ok: $1"; fi
}
printf 'The house is red.\n' >"$work/a.txt"
for front in nginx:$nginx_port caddy:$caddy_port; do
  port=${front#*:}
  via=(--resolve "$name:$port:127.0.0.1")
  base="http://$name:$port"
  got=$(curl -s "${via[@]}" "$base/translate" -H 'Content-Type: application/json' \
    -d '{"q":"Hello","source":"en","target":"es"}')
  check "${front%%:*} translates" '{"translatedText":"[en_es] Hello"}' "$got"
  url=$(curl -s "${via[@]}" "$base/translate_file" -F "file=@$work/a.txt" -F source=en -F target=es |
    sed -n 's/.*"translatedFileUrl":"\([^"]*\)".*/\1/p')
  check "${front%%:*} names itself in the file's address" "$base/download_file/" "${url:0:${#base}+15}"
  for round in first again; do
    got=$(curl -s "${via[@]}" "$url")
    check "${front%%:*} downloads the file ($round)" "[en_es] The house is red." "$got"
  done
done
# nginx's only site takes every name and passes it on; the service refuses
# one it was not told of. (Caddy answers unknown names itself.)
got=$(curl -s -o /dev/null -w '%{http_code}' -H 'Host: evil.example' \
  "http://127.0.0.1:$nginx_port/languages")
check "nginx passes on a name not allowed, refused" 421 "$got"
exit $failed
