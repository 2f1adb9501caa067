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
# Calls as clients write them: ours, multi-reference values, other prefixes.
seed_fuzz_soap_call() {
    local dir=$1
    printf '%s' '<?xml version="1.0" encoding="UTF-8"?><SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/" xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xmlns:SOAP-ENC="http://schemas.xmlsoap.org/soap/encoding/"><SOAP-ENV:Body SOAP-ENV:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"><NS1:BabelFish xmlns:NS1="urn:BFish-IBabelFish"><translationmode xsi:type="xsd:string">en_fr</translationmode><sourcedata xsi:type="xsd:string">Hi &amp; bye</sourcedata></NS1:BabelFish></SOAP-ENV:Body></SOAP-ENV:Envelope>' >"$dir/babelfish"
    printf '%s' '<e:Envelope xmlns:e="http://schemas.xmlsoap.org/soap/envelope/" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><e:Body><NS1:getTranslation xmlns:NS1="urn:BFish2-IBabelFish2" xmlns:NS2="urn:vgx-translate"><body href="#1"/><NS2:getTranslation id="1"><text>Hi</text><language>en_de</language></NS2:getTranslation></NS1:getTranslation></e:Body></e:Envelope>' >"$dir/multiref"
    printf '%s' $'<?xml version="1.0"?>\n<soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/" xmlns:t="urn:vgx-translate">\n <soap:Header><x:T xmlns:x="urn:x" soap:mustUnderstand="0"/></soap:Header>\n <soap:Body>\n  <t:getTranslation>\n   <body>\n    <Text><![CDATA[ a <b> ]]></Text>\n    <Language>fr_en</Language>\n   </body>\n  </t:getTranslation>\n </soap:Body>\n</soap:Envelope>\n' >"$dir/inline"
    printf '%s' '<e:Envelope xmlns:e="http://schemas.xmlsoap.org/soap/envelope/" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><e:Body><BabelFish><translationmode href="#m"/><sourcedata href="#a" xsi:nil="false"/><r id="a" href="#b"/></BabelFish><s id="m">es_en</s><r id="b"> </r></e:Body></e:Envelope>' >"$dir/chain"
}
seed_fuzz_wsdl() {
    local dir=$1
    printf '%s' '<definitions targetNamespace="urn:t" xmlns:tns="urn:t" xmlns:soap="http://schemas.xmlsoap.org/wsdl/soap/" xmlns="http://schemas.xmlsoap.org/wsdl/"><binding name="B"><operation name="BabelFish"><soap:operation soapAction="urn:t#BabelFish"/><input><soap:body use="encoded" namespace="urn:t"/></input></operation></binding><service name="BabelFish"><port name="BabelFishPort" binding="tns:B"><soap:address location="http://h/soap"/></port></service></definitions>' >"$dir/single"
    printf '%s\x1e%s' '<w:definitions xmlns:w="http://schemas.xmlsoap.org/wsdl/"><w:import location="../b/defs.wsdl"/></w:definitions>' '<definitions targetNamespace="urn:t" xmlns:t="urn:t" xmlns:s="http://schemas.xmlsoap.org/wsdl/soap/" xmlns="http://schemas.xmlsoap.org/wsdl/"><import location="root.wsdl"/><binding name="B"><operation name="BabelFish"><s:operation soapAction="a"/></operation></binding><service name="BabelFish"><port name="BabelFishPort" binding="t:B"><s:address location="http://h/"/></port></service></definitions>' >"$dir/imports"
}

seed_fuzz_api() {
    local dir=$1
    printf '\x00\x00%s' '{"q":["Hello","Bonjour le monde"],"source":"auto","target":"es","alternatives":2}' >"$dir/json"
    printf '\x01\x01%s' 'q=Guten+Tag%21&source=auto&api_key=x' >"$dir/form"
    printf '\x02\x02%s' $'--XyZ\r\nContent-Disposition: form-data; name="file"; filename="C:\\a b.txt"\r\nContent-Type: text/plain\r\n\r\nThe house\r\n--XyZ\r\nContent-Disposition: form-data; name="source"\r\n\r\nen\r\n--XyZ\r\nContent-Disposition: form-data; name="target"\r\n\r\nfr\r\n--XyZ--\r\n' >"$dir/multipart"
    printf '\x00\x00%s' '{"q":[[[[{"a":[1,2,3]}]]]],"source":5,"target":null}' >"$dir/nested"
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
    cat >"$dir/lists" <<'RTF'
{\rtf1\ansi{\fonttbl{\f0\fcharset0 T;}{\f1\fcharset2 Symbol;}}{\*\listtable{\list{\listlevel\levelnfc1\levelstartat1{\leveltext\'04CH \'00;}}{\listlevel\levelnfc22\levellegal\levelfollow1{\leveltext\'03\'00.\'01;}}\listid7}{\list{\listlevel\levelnfc23{\leveltext\'01\u-3913 ?;}\f1}\listid8}}{\*\listoverridetable{\listoverride\listid7\ls1}{\listoverride\listid8\listoverridecount1{\lfolevel\listoverridestartat\levelstartat4}\ls2}}\pard{\listtext CH I\tab}\ls1 a\par\pard\ls1\ilvl1 b\par\pard\ls2 c\par{\pntext\f1\'b7\tab}d\par}
RTF
    cat >"$dir/word_frames_symbols_checkboxes" <<'RTF'
{\rtf1\ansi{\fonttbl{\f0\fcharset0 T;}{\f10\fnil\fcharset2 Wingdings;}{\f11\fcharset2 Wingdings 2;}{\f12\fcharset2 Wingdings 3;}{\f13\fcharset2 Webdings;}}\pard\phmrg\posx0\pvmrg\posy0\absw4320\absh-1440\dxfrtext180 framed\par\pard\dropcapli3\dropcapt1 O\par{\f10 \'fd\u-3843\'fd}{\f11 \'54}{\f12 \'71}{\f13 \'61}\trowd\cellx100 a\cell\row{\field{\*\fldinst {FORMCHECKBOX }{{\*\datafield 65}{\*\formfield{\fftype1\ffres25\ffdefres1{\*\ffname C}}}}}{\fldrslt }}{\listtext\pard{\f0 1.\tab item}{\par}}{\*\listtable{\list{\listlevel{\leveltext\'02\'00.{\*\listtable{\list\listid2}}x;}}\listid1}}\par}
RTF
    cat >"$dir/boxes_notes_fields" <<'RTF'
{\rtf1\ansi\ansicpg1255{\fonttbl{\f0\fcharset0 T;}{\f1\fcharset177 D;}}\ftnnalc\aftnnrlc A{\super\chftn}{\footnote\pard{\super\chftn} n}{\shp{\*\shpinst{\sp{\sn shapeType}{\sv 202}}{\shptxt\pard box\par}}{\shprslt{\*\do\dptxbx{\dptxbxtext old}}}}B\chftn{\footnote\ftnalt e}{\field{\*\fldinst {FORMDROPDOWN }{\*\formfield{\fftype2\ffres1{\*\ffl x}{\*\ffl y}}}}{\fldrslt }}{\field{\*\fldinst MACROBUTTON m Click}}{\field{\*\fldinst SYMBOL 183 \\f "Symbol"}{\fldrslt }}\par\rtlpar\rtlch\f0 \'e0{\f1 \'e1}\par}
RTF
}

# A selector byte (the path), the query, '\n' and a Host header.
seed_fuzz_gateway_request() {
    local dir=$1
    printf '\x00%s\n%s' 'partner=demo-SystranSoft&&f=32&&lp=en_es&&urltext=example.org/a?b=1&c=2' '127.0.0.1:8731' >"$dir/server1"
    printf '\x01%s\n%s' 'lp=en_es&&url=http://example.org/&&doit=done&&tt=url&&urltext=' 'localhost:8731' >"$dir/server2"
    printf '\x02%s\n%s' 'lp=fr_es&&url=https%3A%2F%2Fexample.org%2Fp' '[::1]:2000' >"$dir/server3"
    printf '\x03%s\n%s' 'sequence=core&&language=English/Spanish&&url=http://[::ffff:127.0.0.1]:80/' 'evil.example:8731' >"$dir/server4"
    printf '\x04%s\n%s' 'sl=en&&hl=es&&u=http://2130706433:8731/secret' '127.0.0.1' >"$dir/server5"
    printf '\x03%s\n%s' 'partner=Lycos2-en&&submit=Translate&&lp=en_es&&urltext=http://0x7f.1/' '0.0.0.0:2000' >"$dir/server6"
    printf '\x05%s\n%s' 'type=url&&from=eng&&to=poe&&url=http://169.254.169.254/latest' '127.0.0.1:99999' >"$dir/server7"
    printf '\x07%s\n%s' '/translate_c?sl=en&hl=es&u=javascript:alert(1)' '[fe80::1%25eth0]:8731' >"$dir/custom"
}
# A Content-Type line, '\n' and the page.
seed_fuzz_html_page() {
    local dir=$1
    printf '%s\n%s' 'text/html; charset=utf-8' '<!DOCTYPE html><html><head><title>T</title></head><body><p>caf&eacute; &#233; &#x10000; &amp;</p><a href="next.html?a=1&amp;b=2#part">1</a> <a href=#top>2</a> <a href="mailto:x@example.org">3</a> <area href=//example.net/x><iframe src="/f.html"></iframe><script>var s = "<a href=x>";</script><style>a{}</style><!-- <a href=c> --></body></html>' >"$dir/links"
    printf '%s\n%s' '' '<html><head><base href="../other/"><meta charset="windows-1251"></head><body>\xcf\xf0\xe8\xe2\xe5\xf2 <a href=page>x</a></body></html>' >"$dir/base-meta-charset"
    printf '%s\n%s' 'text/html; charset=ISO-8859-1' '<p>caf\xe9 <A HREF = "HTTP://Example.org/%7e" TARGET=_blank>x</A><frame src=javascript:go()>' >"$dir/latin1"
    printf '%s\n\xff\xfe<\x00p\x00>\x00h\x00i\x00' 'text/html' >"$dir/utf16-bom"
    printf '%s\n%s' 'application/xhtml+xml;charset="shift_jis"' '<?xml version="1.0"?><html xmlns="http://www.w3.org/1999/xhtml"><body><a href="https://[::1]:8080/">\x82\xa0</a></body></html>' >"$dir/xhtml-sjis"
    printf '%s\n%s' 'text/html; charset=x-unknown' '<a href="http://a b/"><a href=""><a href="http://%%zz/"><base href><a href' >"$dir/broken"
}

seed_fuzz_html_stream() {
    local dir=$1
    printf '%s' '<!DOCTYPE html><html><head><title>T</title><style>p{a:b}</style></head><body><p class="x">Hello <b>big</b> world.  It is [nice] ^ $ @ / \ ~ {x}</p><script>var a="<p>";</script><!-- c --><br>Next &amp; line &#8217; &unknown<pre>a
 b</pre><![CDATA[ z ]]><TD>x</Td></body></html>' >"$dir/page"
    printf '%s' '<a <a b="c <!-- <script> x </scrip <style <![CDATA[ < > & &amp' >"$dir/never-closed"
}

# The first byte picks the reader (see fuzz/fuzz_remote_replies.cpp).
seed_fuzz_remote_replies() {
    local dir=$1
    printf '\x00%s' '[{"code":"en","name":"English","targets":["de","zh-Hans"]},{"code":"zh-Hans","name":"Chinese","targets":["en"]},{"code":"de","name":"German"}]' >"$dir/languages"
    printf '\x01%s' '{"charLimit":2000,"frontendTimeout":500,"apiKeys":true,"keyRequired":false,"filesTranslation":true,"supportedFilesFormat":[".txt",".docx"],"language":{"source":{"code":"en","name":"English"},"target":{"code":"es","name":"Spanish"}}}' >"$dir/settings"
    printf '\x02%s' '{"translatedText":["Hallo","Welt","!"]}' >"$dir/batch"
    printf '\x03%s' '{"translatedFileUrl":"http://h/download_file/1.a.txt"}' >"$dir/file"
    printf '\x04%s' '{"error":"Invalid API key","status":"error","code":400,"explanation":"That pair is not installed"}' >"$dir/error"
    printf '\x05%s' '{"responseData":[{"sourceLanguage":"fra","targetLanguage":"spa"},{"sourceLanguage":"spa","targetLanguage":"eng_US"}],"responseDetails":null,"responseStatus":200}' >"$dir/pairs"
    printf '\x06%s' '{"responseData":{"translatedText":"Hola"},"responseDetails":null,"responseStatus":200}' >"$dir/apy"
    printf '\x07%s' '.[][<html><head><title>]T.[][<\/title><\/head><body><p>]Hello[ <b>]big[<\/b> ]world\[1\]..[][<\/p>]' >"$dir/stream"
}

# Parts of packages: byte 0 picks the rule, byte 1 cuts source from
# translation for the cells.
seed_fuzz_package_parts() {
    local dir=$1
    printf '\x00\x80%s' '<w:document><w:body><w:p><w:r><mc:AlternateContent><mc:Choice><w:drawing><wp:anchor><wp:align>center</wp:align><wps:txbx><w:txbxContent><w:p><w:r><w:t>Big dog</w:t></w:r></w:p></w:txbxContent></wps:txbx></wp:anchor></w:drawing></mc:Choice></mc:AlternateContent></w:r></w:p></w:body></w:document>' >"$dir/textbox"
    printf '\x01\x80%s' '<c:chartSpace><c:title><c:tx><c:rich><a:p><a:r><a:t>Sales</a:t></a:r></a:p></c:rich></c:tx></c:title><c:ser><c:tx><c:strRef><c:f>Sheet1!$B$1</c:f><c:strCache><c:pt idx="0"><c:v>East</c:v></c:pt></c:strCache></c:strRef></c:tx></c:ser></c:chartSpace>' >"$dir/chart"
    printf '\x02\x80%s' '<p:sldMaster><p:sp><p:nvSpPr><p:nvPr><p:ph type="title"/></p:nvPr></p:nvSpPr><p:txBody><a:p><a:r><a:t>Click</a:t></a:r></a:p></p:txBody></p:sp><p:sp><p:txBody><a:p><a:r><a:t>Footer</a:t></a:r></a:p></p:txBody></p:sp></p:sldMaster>' >"$dir/master"
    printf '\x05\x41%s' '<sst><si><t xml:space="preserve"> Red house </t></si><si><r><t>A</t></r><rPh><t>x</t></rPh></si></sst><sst><si><t>Casa roja</t></si><si><r><t> A</t></r></si></sst>' >"$dir/cells"
    printf '\x06\x40%s' '<table:table-cell><office:annotation><dc:creator>Ann</dc:creator></office:annotation><text:p><text:s text:c="2"/>Red</text:p></table:table-cell><table:table-cell><text:p>Rojo <text:tab/></text:p></table:table-cell>' >"$dir/ods"
}

# The first byte picks the way in (see fuzz/fuzz_document.cpp): 0 an
# archive read and rewritten, 1 a document's text, 2 XML, 3 subtitles,
# 4 plain text, 5 streams.
seed_fuzz_document() {
    local dir=$1 tmp
    tmp=$(mktemp -d)
    mkdir -p "$tmp/docx/word" "$tmp/odt" "$tmp/epub/OEBPS"
    printf '%s' '<Types/>' >"$tmp/docx/[Content_Types].xml"
    printf '%s' '<?xml version="1.0"?><w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body><w:p><w:r><w:rPr><w:b/></w:rPr><w:t>Red house</w:t></w:r></w:p></w:body></w:document>' >"$tmp/docx/word/document.xml"
    printf '%s' 'application/vnd.oasis.opendocument.text' >"$tmp/odt/mimetype"
    printf '%s' '<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body><office:text><text:p>Big dog</text:p></office:text></office:body></office:document-content>' >"$tmp/odt/content.xml"
    printf '%s' 'application/epub+zip' >"$tmp/epub/mimetype"
    printf '%s' '<?xml version="1.0"?><!DOCTYPE html><html xmlns="http://www.w3.org/1999/xhtml"><body><p>The&nbsp;cat</p></body></html>' >"$tmp/epub/OEBPS/c1.xhtml"
    for kind in docx odt epub; do
        (
            cd "$tmp/$kind"
            # OpenDocument and EPUB: "mimetype" first and stored
            [[ -f mimetype ]] && zip -q -X -0 "../$kind.zip" mimetype
            zip -q -X -r "../$kind.zip" . -x mimetype
        )
        { printf '\x00'; cat "$tmp/$kind.zip"; } >"$dir/zip-$kind"
        { printf '\x01'; cat "$tmp/$kind.zip"; } >"$dir/text-$kind"
    done
    { printf '\x02'; cat "$tmp/docx/word/document.xml"; } >"$dir/xml"
    printf '\x03%s' $'1\r\n00:00:01,000 --> 00:00:02,000\r\n<i>Hello</i> {\\an8}world\r\n\r\n2\n00:00:03,000 --> 00:00:04,000\nBye\n' >"$dir/srt"
    printf '\x04%s' $'The annual report\n\n  Red house\nBig dog\n' >"$dir/text"
    printf '\x05%s' '.[][<w:t>]Red house.[][<\/w:t>]\[x\]' >"$dir/stream"
    rm -rf "$tmp"
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

# Vantudict: real FreeDict files where Debian's packages put them (a query
# line, then the index), a dictzip file made by dictzip, and a DICT
# conversation.
seed_fuzz_dict_index() {
    local dir=$1 f
    for f in /usr/share/dictd/freedict-eng-rus.index /usr/share/dictd/freedict-spa-por.index; do
        [[ -f $f ]] || continue
        { printf 'house\n'; head -c 20000 "$f"; } >"$dir/$(basename "$f")"
    done
    printf '%s\n%s' 'Haus' $'00databaseallchars\tA\tB\n\tA\tB\nhaus\tBA\tC\nhaus\tZZ\tD\nhaus…\tA\tB\n' >"$dir/allchars"
}
seed_fuzz_dictzip() {
    local dir=$1 tmp
    tmp=$(mktemp -d)
    if command -v dictzip >/dev/null; then
        for n in 200 90000; do
            seq 1 "$n" >"$tmp/t$n.dict"
            dictzip "$tmp/t$n.dict"
            { printf '\x10\x00\x00\x00\x40\x00\x00\x00'; cat "$tmp/t$n.dict.dz"; } >"$dir/dictzip-$n"
        done
    fi
    [[ -f /usr/share/dictd/freedict-eng-rus.dict.dz ]] &&
        { printf '\x00\x01\x00\x00\x00\x02\x00\x00'; cat /usr/share/dictd/freedict-eng-rus.dict.dz; } >"$dir/eng-rus"
    rm -rf "$tmp"
}
seed_fuzz_dict_reply() {
    local dir=$1
    printf '\x07%s' $'220 dictd 1.13.0 <auth.mime> <1.2@host>\r\n250 ok\r\n110 2 databases present\r\nfd-eng-deu "English-German FreeDict Dictionary"\r\ntest "Test"\r\n.\r\n250 ok\r\n150 2 definitions retrieved\r\n151 "house" fd-eng-deu "English-German"\r\nhouse /ha\xca\x8as/ <n>\r\n1. Haus <neut>\r\n      "build a house"  - ein Haus bauen\r\n..dot stuffed\r\n see: {houses}\r\n.\r\n151 "house" test "Test"\r\nhouse\r\n   Haus\r\n.\r\n250 ok [d/m/c = 2/0/20; 0.000r 0.000u 0.000s]\r\n' >"$dir/define"
    printf '\xff%s' $'552 no match [d/m/c = 0/0/0; 0.000r 0.000u 0.000s]\r\n' >"$dir/nomatch"
    printf '\x00%s' $'530 access denied\r\n' >"$dir/denied"
}

# Documents under any name: each kind the sniffer tells apart.
seed_fuzz_sniff() {
    local dir=$1
    printf '\320\317\021\340\241\261\032\341' >"$dir/ole"
    printf 'PK\003\004xxxxxxxxxxxxxxxxxxxxxxxxxxmimetypeapplication/vnd.oasis.opendocument.text' >"$dir/odf"
    printf '{\\rtf1 x}' >"$dir/rtf"
    printf '\061\276\000\000' >"$dir/wri"
    printf '\377WPC' >"$dir/wpd"
    printf '\357\273\277<?xml version="1.0"?><!-- c --><!DOCTYPE html><html>' >"$dir/html"
    printf '<?xml version="1.0"?><o:document xmlns:o="urn:oasis:names:tc:opendocument:xmlns:office:1.0">' >"$dir/fodt"
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
