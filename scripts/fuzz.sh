#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, AddressSanitizer and UBSan) and
# runs every fuzz target for a bounded time each.
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
# Corpora grow in fuzz/corpus-<target>/ (not tracked); crashes are written
# to fuzz/crash-* and end the run with a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true

# Starting points for targets that have them, written when the corpus is empty.
seed_fuzz_reply() {
    local dir=$1
    printf '%s' '<?xml version="1.0" encoding="UTF-8"?><SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><SOAP-ENV:Body><ns1:BabelFishResponse xmlns:ns1="urn:x"><return xsi:type="xsd:string">Bonjour</return></ns1:BabelFishResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>' >"$dir/string"
    printf '%s' '<e:Envelope xmlns:e="http://schemas.xmlsoap.org/soap/envelope/"><e:Header><h e:mustUnderstand="0"/></e:Header><e:Body><R><body href="#1"/></R><v:getTranslation id="1" xmlns:v="urn:vgx-translate"><Text>Ciao</Text><language>en_it</language></v:getTranslation></e:Body></e:Envelope>' >"$dir/record"
    printf '%s' '<e:Envelope xmlns:e="http://schemas.xmlsoap.org/soap/envelope/"><e:Body><e:Fault><faultcode>e:Server</faultcode><faultstring>No pair</faultstring><detail><x>1</x></detail></e:Fault></e:Body></e:Envelope>' >"$dir/fault"
}
seed_fuzz_wsdl() {
    local dir=$1
    printf '%s' '<definitions targetNamespace="urn:t" xmlns:tns="urn:t" xmlns:soap="http://schemas.xmlsoap.org/wsdl/soap/" xmlns="http://schemas.xmlsoap.org/wsdl/"><binding name="B"><operation name="BabelFish"><soap:operation soapAction="urn:t#BabelFish"/><input><soap:body use="encoded" namespace="urn:t"/></input></operation></binding><service name="BabelFish"><port name="BabelFishPort" binding="tns:B"><soap:address location="http://h/soap"/></port></service></definitions>' >"$dir/single"
    printf '%s\x1e%s' '<w:definitions xmlns:w="http://schemas.xmlsoap.org/wsdl/"><w:import location="../b/defs.wsdl"/></w:definitions>' '<definitions targetNamespace="urn:t" xmlns:t="urn:t" xmlns:s="http://schemas.xmlsoap.org/wsdl/soap/" xmlns="http://schemas.xmlsoap.org/wsdl/"><import location="root.wsdl"/><binding name="B"><operation name="BabelFish"><s:operation soapAction="a"/></operation></binding><service name="BabelFish"><port name="BabelFishPort" binding="t:B"><s:address location="http://h/"/></port></service></definitions>' >"$dir/imports"
}

seed_fuzz_rtf() {
    local dir=$1
    cat >"$dir/formats" <<'RTF'
{\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\fswiss\fcharset0 Arial;}{\f1\fcharset204 Arial Cyr;}}{\colortbl;\red255\green0\blue0;}\pard\qc\li720\fi-360 {\b bold}\i it\ul u\ulnone\strike s\cf1\highlight1 c\fs48 big\plain\par\f1 \'e4\uc2\u1046\'3f\'3f\tab\line\emdash\bullet\~}
RTF
    cat >"$dir/destinations" <<'RTF'
{\rtf1{\*\generator x;}{\info{\title t}}{\stylesheet{\s0 N;}}\trowd\cellx100\cellx200\pard\intbl a\cell b\cell\row{\field{\*\fldinst HYPERLINK "x"}{\fldrslt link}}{\pict\bin3 abc}{\object{\result r}}{\upr{a}{\*\ud{u}}}\page end}
RTF
    cat >"$dir/codepages" <<'RTF'
{\rtf1\ansi\ansicpg932 \'93\'fa{\fonttbl{\f0\fcharset134 S;}}\f0 \'d6\'d0\u-10179?\u-8704?}
RTF
}

# The first byte picks text, HTML or a raw stream, the second the pair.
seed_fuzz_pipeline() {
    local dir=$1
    printf '\001\000<script>^' >"$dir/script"
    printf '\001\000<style>^' >"$dir/style"
    printf '\001\000<!-- ^' >"$dir/comment"
    printf '\000\000The house ^ is big. ^' >"$dir/text"
    printf '\002\000.[][<script>\\^]' >"$dir/stream"
    printf '\002\001[<p>]\\^[<\\/p>] a\\^b [x\\^' >"$dir/cut"
    printf '\001\003<html><head><title>A page</title><style>p{x:1}</style></head><body><h1>The news ^ today</h1><p>The house is big. The dog is red! Is the car new? Yes.</p><pre>2^10 = 1024</pre><ul><li>One item.</li><li>Two ^ items.</li></ul><p>Mr. Smith said: "The end." The end.</p><script>if (a^b) {}</script></body></html>' >"$dir/page"
}

cmake --preset fuzz >/dev/null
mapfile -t all < <(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
targets=("$@")
[[ ${#targets[@]} -eq 0 ]] && targets=("${all[@]}")
cmake --build build-fuzz --target "${targets[@]}" -- -j2

status=0
for t in "${targets[@]}"; do
    corpus="fuzz/corpus-$t"
    mkdir -p "$corpus"
    if [[ -z "$(ls -A "$corpus")" ]] && declare -F "seed_$t" >/dev/null; then
        "seed_$t" "$corpus"
    fi
    echo "== $t: ${seconds}s"
    if ! "build-fuzz/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="fuzz/crash-$t-" -print_final_stats=1 "$corpus" 2>"build-fuzz/$t.log"; then
        echo "   FAILED: see build-fuzz/$t.log and fuzz/crash-$t-*"
        status=1
    fi
    grep -E "^stat::(number_of_executed_units|new_units_added|peak_rss_mb)" "build-fuzz/$t.log" |
        sed 's/^/   /' || true
done
exit $status
