#include "server/documents/PackageParts.h"

#include "server/documents/DocumentError.h"
#include "server/documents/DocumentStreams.h"

#include <QRegularExpression>
#include <algorithm>
#include <vector>

namespace PackageParts {
namespace {
using Family = DocumentTypes::Family;

struct Row
{
    Family family;
    const char* pattern;
    Rule rule;
};

// Text a reader sees in a chart: its titles, axis titles and labels
// (<c:rich>) and the series names and categories it caches
// (<c:strCache>); never its formulas, numbers or number formats.
Rule chart()
{
    Rule r;
    r.filter = Filter::Pptx;
    r.textIn = {"c:rich", "c:strCache"};
    return r;
}

// DrawingML text alone (SmartArt's data and the drawing that caches it,
// shapes on a sheet, modern comments).
Rule drawingText(QList<QByteArray> textIn = {"a:t"})
{
    Rule r;
    r.filter = Filter::Pptx;
    r.textIn = std::move(textIn);
    return r;
}

const std::vector<Row>& rows()
{
    static const std::vector<Row> table = [] {
        std::vector<Row> t;
        Rule word;
        word.filter = Filter::Wxml;
        word.hold = {"w:drawing"};
        word.reopen = {"w:txbxContent"};
        t.push_back(
            {Family::Word,
             "^word/(document|footnotes|endnotes|comments|header[0-9]*|footer[0-9]*)\\.xml$",
             word});
        t.push_back({Family::Word, "^word/diagrams/(data|drawing)[0-9]*\\.xml$", drawingText()});
        t.push_back({Family::Word, "^word/charts/chart[0-9]*\\.xml$", chart()});

        Rule slides;
        slides.filter = Filter::Pptx;
        t.push_back(
            {Family::Slides, "^ppt/(slides/slide|notesSlides/notesSlide)[0-9]+\\.xml$", slides});
        Rule masters = slides;
        masters.holdPlaceholders = true;
        t.push_back({Family::Slides,
                     "^ppt/(slideMasters/slideMaster|slideLayouts/slideLayout)[0-9]+\\.xml$",
                     masters});
        // Classic comments hold their text in <p:text>, modern ones in
        // DrawingML; the authors are in parts of their own, never read.
        t.push_back({Family::Slides, "^ppt/comments/(comment[0-9]+|modernComment_[^/]*)\\.xml$",
                     drawingText({"p:text", "a:t"})});
        t.push_back({Family::Slides, "^ppt/diagrams/(data|drawing)[0-9]*\\.xml$", drawingText()});
        t.push_back({Family::Slides, "^ppt/charts/chart[0-9]*\\.xml$", chart()});

        // Cells hold their text in the shared strings (or, written by some
        // programs, inline in the sheet); numbers and formulas are
        // elsewhere.
        Rule strings;
        strings.filter = Filter::Xlsx;
        strings.cell = "si";
        t.push_back({Family::Sheet, "^xl/sharedStrings\\.xml$", strings});
        Rule inlineCells;
        inlineCells.filter = Filter::Xlsx;
        inlineCells.textIn = {"is"};
        inlineCells.onlyWith = "inlineStr";
        inlineCells.cell = "is";
        t.push_back({Family::Sheet, "^xl/worksheets/sheet[0-9]+\\.xml$", inlineCells});
        Rule comments;
        comments.filter = Filter::Xlsx;
        comments.hold = {"authors"};
        t.push_back({Family::Sheet, "^xl/comments[0-9]*\\.xml$", comments});
        // Threaded comments (Excel 365) show their own copy of the text;
        // the people who wrote them are in a part never read.
        Rule threaded;
        threaded.filter = Filter::Xlsx;
        threaded.textIn = {"text"};
        t.push_back({Family::Sheet, "^xl/threadedComments/threadedComment[0-9]+\\.xml$", threaded});
        t.push_back({Family::Sheet, "^xl/drawings/drawing[0-9]+\\.xml$", drawingText()});
        t.push_back({Family::Sheet, "^xl/charts/chart[0-9]+\\.xml$", chart()});

        // A comment's author and date are no text; an embedded formula's
        // names are not words.
        Rule odf;
        odf.filter = Filter::Odt;
        odf.hold = {"dc:creator", "dc:date", "meta:creator-initials", "math:math"};
        odf.cell = "table:table-cell";
        t.push_back({Family::OpenDocument, "^(content|styles)\\.xml$", odf});
        t.push_back({Family::OpenDocument, "^Object [0-9]+/(content|styles)\\.xml$", odf});
        return t;
    }();
    return table;
}

// --- a tokenizer for parts XmlGuard found well-formed --------------------

enum class Kind { Start, End, Empty, Text, Other };

struct Token
{
    Kind kind;
    qsizetype begin, end; // bytes [begin, end)
    QByteArrayView name;  // elements only
};

bool isNameEnd(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '/' || c == '>';
}

std::vector<Token> tokens(const QByteArray& xml)
{
    std::vector<Token> out;
    const qsizetype n = xml.size();
    qsizetype i = 0;
    while (i < n) {
        if (xml[i] != '<') {
            qsizetype j = xml.indexOf('<', i);
            if (j < 0)
                j = n;
            out.push_back({Kind::Text, i, j, {}});
            i = j;
            continue;
        }
        const auto other = [&](const char* close, Kind kind = Kind::Other) {
            qsizetype j = xml.indexOf(close, i);
            j = j < 0 ? n : j + qsizetype(qstrlen(close));
            out.push_back({kind, i, j, {}});
            i = j;
        };
        const QByteArrayView rest = QByteArrayView(xml).sliced(i);
        if (rest.startsWith("<!--")) {
            other("-->");
        } else if (rest.startsWith("<![CDATA[")) {
            other("]]>", Kind::Text); // character data, held as text is
        } else if (rest.startsWith("<?") || rest.startsWith("<!")) {
            other(">");
        } else {
            // A tag; '>' may stand inside quoted attribute values.
            qsizetype j = i + 1;
            char quote = 0;
            while (j < n && (quote || xml[j] != '>')) {
                if (quote && xml[j] == quote)
                    quote = 0;
                else if (!quote && (xml[j] == '"' || xml[j] == '\''))
                    quote = xml[j];
                ++j;
            }
            const qsizetype end = j < n ? j + 1 : n;
            const bool closing = i + 1 < n && xml[i + 1] == '/';
            const bool empty = end - i >= 2 && xml[end - 2] == '/' && xml[end - 1] == '>';
            qsizetype k = i + (closing ? 2 : 1);
            const qsizetype nameBegin = k;
            while (k < end && !isNameEnd(xml[k]))
                ++k;
            const QByteArrayView name(xml.constData() + nameBegin, k - nameBegin);
            out.push_back(
                {closing ? Kind::End : (empty ? Kind::Empty : Kind::Start), i, end, name});
            i = end;
        }
    }
    return out;
}

bool among(const QList<QByteArray>& names, QByteArrayView name)
{
    return std::any_of(names.cbegin(), names.cend(),
                       [&](const QByteArray& n) { return QByteArrayView(n) == name; });
}

bool blank(const QByteArray& xml, const Token& t)
{
    for (qsizetype i = t.begin; i < t.end; ++i) {
        const char c = xml[i];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return false;
    }
    return true;
}

// Index of the end token of each start token (its own index for others).
std::vector<qsizetype> matchingEnds(const std::vector<Token>& ts)
{
    std::vector<qsizetype> ends(ts.size());
    std::vector<qsizetype> open;
    for (qsizetype i = 0; i < qsizetype(ts.size()); ++i) {
        ends[i] = i;
        if (ts[i].kind == Kind::Start) {
            open.push_back(i);
        } else if (ts[i].kind == Kind::End && !open.empty()) {
            ends[open.back()] = i;
            open.pop_back();
        }
    }
    for (qsizetype i : open)
        ends[i] = qsizetype(ts.size()) - 1;
    return ends;
}

QByteArray marker(const QByteArray& id, qsizetype i)
{
    return "<tq-hold-" + id + '-' + QByteArray::number(i) + "/>";
}
} // namespace

const Rule* ruleFor(DocumentTypes::Family family, const QString& partName)
{
    static const std::vector<QRegularExpression> patterns = [] {
        std::vector<QRegularExpression> p;
        for (const Row& row : rows())
            p.emplace_back(QString::fromLatin1(row.pattern));
        return p;
    }();
    for (size_t i = 0; i < rows().size(); ++i) {
        if (rows()[i].family == family && patterns[i].match(partName).hasMatch())
            return &rows()[i].rule;
    }
    return nullptr;
}

Held hold(const QByteArray& part, const Rule& rule)
{
    Held out;
    out.id = DocumentStreams::nonce();
    const std::vector<Token> ts = tokens(part);
    const std::vector<qsizetype> ends = matchingEnds(ts);
    // Each token held or not. The open elements' modes: held, and how many
    // of them admit text (textIn).
    std::vector<char> held(ts.size(), 0);
    struct Open
    {
        bool heldTag; // its own start and end tags
        bool heldContent;
        int textIn;
    };
    std::vector<Open> stack{{false, false, 0}};
    for (qsizetype i = 0; i < qsizetype(ts.size()); ++i) {
        const Token& t = ts[i];
        const Open mode = stack.back();
        switch (t.kind) {
        case Kind::Start:
        case Kind::Empty: {
            bool heldTag = mode.heldContent;
            bool heldContent = mode.heldContent;
            if (!heldContent && among(rule.hold, t.name)) {
                heldTag = heldContent = true;
            } else if (!heldContent && rule.holdPlaceholders && t.name == "p:sp") {
                for (qsizetype k = i + 1; k < ends[i]; ++k) {
                    if (ts[k].kind != Kind::Text && ts[k].kind != Kind::Other &&
                        ts[k].name == "p:ph") {
                        heldTag = heldContent = true;
                        break;
                    }
                }
            } else if (heldContent && among(rule.reopen, t.name)) {
                heldContent = false; // the tag itself stays with the held
            }
            held[i] = heldTag;
            if (t.kind == Kind::Start)
                stack.push_back(
                    {heldTag, heldContent, mode.textIn + (among(rule.textIn, t.name) ? 1 : 0)});
            break;
        }
        case Kind::End:
            held[i] = stack.back().heldTag;
            if (stack.size() > 1)
                stack.pop_back();
            break;
        case Kind::Text:
            held[i] =
                mode.heldContent || (!rule.textIn.isEmpty() && mode.textIn == 0 && !blank(part, t));
            break;
        case Kind::Other:
            held[i] = mode.heldContent;
            break;
        }
    }
    // Runs of held tokens become one marker each; blanks between two held
    // tokens go with them.
    qsizetype copied = 0;
    for (qsizetype i = 0; i < qsizetype(ts.size()); ++i) {
        if (!held[i])
            continue;
        qsizetype j = i;
        for (qsizetype k = i + 1; k < qsizetype(ts.size()); ++k) {
            if (held[k])
                j = k;
            else if (!(ts[k].kind == Kind::Text && blank(part, ts[k])))
                break;
        }
        out.part += QByteArrayView(part).sliced(copied, ts[i].begin - copied);
        out.part += marker(out.id, out.held.size());
        out.held << part.sliced(ts[i].begin, ts[j].end - ts[i].begin);
        copied = ts[j].end;
        i = j;
    }
    out.part += QByteArrayView(part).sliced(copied);
    return out;
}

QList<QByteArray> translate(const QList<QByteArray>& parts, const QList<const Rule*>& rules,
                            const ApertiumFilters::Context& context)
{
    QList<QByteArray> out(parts.size());
    QList<bool> done(parts.size(), false);
    for (qsizetype first = 0; first < parts.size(); ++first) {
        if (done[first])
            continue;
        const Filter filter = rules[first]->filter;
        QList<qsizetype> group;
        QList<Held> held;
        QList<QByteArray> given;
        for (qsizetype i = first; i < parts.size(); ++i) {
            if (done[i] || rules[i]->filter != filter)
                continue;
            done[i] = true;
            group << i;
            held << hold(parts[i], *rules[i]);
            given << held.back().part;
        }
        const QList<QByteArray> translated = ApertiumFilters::translate(filter, given, context);
        for (qsizetype k = 0; k < group.size(); ++k) {
            const qsizetype i = group[k];
            QByteArray part = restore(translated[k], held[k]);
            if (!rules[i]->cell.isEmpty())
                part = keepCellBlanks(parts[i], part, rules[i]->cell);
            out[i] = std::move(part);
        }
    }
    return out;
}

QByteArray restore(const QByteArray& translated, const Held& held)
{
    if (held.held.isEmpty())
        return translated;
    QByteArray out;
    out.reserve(translated.size());
    qsizetype copied = 0;
    for (qsizetype i = 0; i < held.held.size(); ++i) {
        const QByteArray m = marker(held.id, i);
        const qsizetype at = translated.indexOf(m, copied);
        if (at < 0)
            throw DocumentError(DocumentError::Kind::Failed,
                                QStringLiteral("The translation could not be put back into the "
                                               "document: a held part went missing"));
        out += QByteArrayView(translated).sliced(copied, at - copied);
        out += held.held[i];
        copied = at + m.size();
    }
    out += QByteArrayView(translated).sliced(copied);
    if (out.contains("<tq-hold-" + held.id))
        throw DocumentError(DocumentError::Kind::Failed,
                            QStringLiteral("The translation could not be put back into the "
                                           "document: a held part came twice"));
    return out;
}

namespace {
// A cell's text as its tokens: the text tokens that show (outside phonetic
// runs), and the blank elements (<text:s/>, <text:tab/>, <text:line-break/>)
// that count as blanks at either end.
struct Cell
{
    std::vector<qsizetype> shown; // token indexes: Text, or a blank element
};

bool blankElement(QByteArrayView name)
{
    return name == "text:s" || name == "text:tab" || name == "text:line-break";
}

bool textElement(QByteArrayView name)
{
    return name == "t" || name == "text:p" || name == "text:h";
}

std::vector<Cell> cells(const std::vector<Token>& ts, const QByteArray& element)
{
    std::vector<Cell> out;
    int depth = 0;  // inside a cell
    int skip = 0;   // inside a phonetic run or an annotation
    int inText = 0; // inside <t> or a paragraph: blanks elsewhere are layout
    for (qsizetype i = 0; i < qsizetype(ts.size()); ++i) {
        const Token& t = ts[i];
        if (t.name == QByteArrayView(element) && t.kind != Kind::End) {
            if (t.kind == Kind::Empty) {
                if (depth == 0)
                    out.emplace_back();
            } else if (depth++ == 0) {
                out.emplace_back();
            }
            continue;
        }
        if (depth == 0)
            continue;
        if (t.kind == Kind::End && t.name == QByteArrayView(element)) {
            --depth;
            continue;
        }
        const bool skipped = t.name == "rPh" || t.name == "office:annotation";
        if (skipped && t.kind == Kind::Start)
            ++skip;
        else if (skipped && t.kind == Kind::End && skip > 0)
            --skip;
        if (skip > 0)
            continue;
        if (textElement(t.name) && t.kind == Kind::Start)
            ++inText;
        else if (textElement(t.name) && t.kind == Kind::End && inText > 0)
            --inText;
        if (inText > 0 && (t.kind == Kind::Text || (t.kind == Kind::Empty && blankElement(t.name))))
            out.back().shown.push_back(i);
    }
    return out;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The blanks at one end of a cell: blank elements and blank characters,
// as they are written, up to the first other character.
QByteArray outerBlanks(const QByteArray& xml, const std::vector<Token>& ts, const Cell& c,
                       bool leading)
{
    QByteArray out;
    const qsizetype n = qsizetype(c.shown.size());
    for (qsizetype k = 0; k < n; ++k) {
        const Token& t = ts[c.shown[leading ? k : n - 1 - k]];
        const QByteArrayView bytes = QByteArrayView(xml).sliced(t.begin, t.end - t.begin);
        qsizetype m = bytes.size();
        if (t.kind == Kind::Text) {
            m = 0;
            while (m < bytes.size() && isBlank(bytes[leading ? m : bytes.size() - 1 - m]))
                ++m;
        }
        const QByteArrayView part = leading ? bytes.first(m) : bytes.last(m);
        if (leading)
            out += part;
        else
            out.prepend(part.toByteArray());
        if (m < bytes.size())
            break;
    }
    return out;
}
} // namespace

QByteArray keepCellBlanks(const QByteArray& source, const QByteArray& translated,
                          const QByteArray& cellElement)
{
    const std::vector<Token> st = tokens(source);
    const std::vector<Token> tt = tokens(translated);
    const std::vector<Cell> sc = cells(st, cellElement);
    const std::vector<Cell> tc = cells(tt, cellElement);
    if (sc.size() != tc.size())
        return translated;
    // Edits as (begin, end, replacement) on the translated part, in order.
    struct Edit
    {
        qsizetype begin, end;
        QByteArray with;
    };
    std::vector<Edit> edits;
    for (size_t c = 0; c < sc.size(); ++c) {
        const Cell& t = tc[c];
        if (t.shown.empty())
            continue;
        // Only cells with some text of their own: a blank cell stays.
        bool text = false;
        for (qsizetype i : t.shown) {
            const Token& tok = tt[i];
            if (tok.kind == Kind::Text && !blank(translated, tok))
                text = true;
        }
        if (!text)
            continue;
        for (bool leading : {true, false}) {
            const QByteArray want = outerBlanks(source, st, sc[c], leading);
            const QByteArray have = outerBlanks(translated, tt, t, leading);
            if (want == have)
                continue;
            // The blanks now at that end are dropped (blank elements
            // and characters) and the source's written into the first
            // (or last) text token with text.
            const qsizetype n = qsizetype(t.shown.size());
            for (qsizetype k = 0; k < n; ++k) {
                const qsizetype idx = t.shown[leading ? k : n - 1 - k];
                const Token& tok = tt[idx];
                if (tok.kind != Kind::Text) {
                    edits.push_back({tok.begin, tok.end, {}});
                    continue;
                }
                const QByteArrayView v =
                    QByteArrayView(translated).sliced(tok.begin, tok.end - tok.begin);
                qsizetype m = 0;
                if (leading) {
                    while (m < v.size() && isBlank(v[m]))
                        ++m;
                } else {
                    while (m < v.size() && isBlank(v[v.size() - 1 - m]))
                        ++m;
                }
                if (m == v.size()) {
                    edits.push_back({tok.begin, tok.end, {}});
                    continue;
                }
                if (leading)
                    edits.push_back({tok.begin, tok.begin + m, want});
                else
                    edits.push_back({tok.end - m, tok.end, want});
                // Excel drops the outer spaces of a <t> that does not say
                // it keeps them.
                if (!want.isEmpty() && idx > 0) {
                    const Token& open = tt[idx - 1];
                    if (open.kind == Kind::Start && open.name == "t" &&
                        !QByteArrayView(translated)
                             .sliced(open.begin, open.end - open.begin)
                             .contains("xml:space"))
                        edits.push_back({open.end - 1, open.end - 1, " xml:space=\"preserve\""});
                }
                break;
            }
        }
    }
    if (edits.empty())
        return translated;
    std::sort(edits.begin(), edits.end(),
              [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
    QByteArray out;
    qsizetype copied = 0;
    for (const Edit& e : edits) {
        if (e.begin < copied)
            continue; // overlapping (one token that is all blanks)
        out += QByteArrayView(translated).sliced(copied, e.begin - copied);
        out += e.with;
        copied = e.end;
    }
    out += QByteArrayView(translated).sliced(copied);
    return out;
}
} // namespace PackageParts
