// A package's parts as they arrive: what the part table holds back from the
// filters, and the cell blanks a translation is given back. Holding then
// restoring gives every byte back; a part's blanks made those of itself
// change nothing. The first byte picks the rule, the second splits the rest
// into a source and a translation for the cells.
#include "server/documents/DocumentError.h"
#include "server/documents/PackageParts.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    using Family = DocumentTypes::Family;
    static const std::pair<Family, const char*> parts[] = {
        {Family::Word, "word/document.xml"},
        {Family::Word, "word/charts/chart1.xml"},
        {Family::Slides, "ppt/slideMasters/slideMaster1.xml"},
        {Family::Slides, "ppt/comments/comment1.xml"},
        {Family::Sheet, "xl/comments1.xml"},
        {Family::Sheet, "xl/sharedStrings.xml"},
        {Family::OpenDocument, "content.xml"},
    };
    const auto& [family, name] = parts[data[0] % std::size(parts)];
    const PackageParts::Rule* rule = PackageParts::ruleFor(family, QString::fromLatin1(name));
    if (!rule)
        std::abort();
    const QByteArray input(reinterpret_cast<const char*>(data) + 2,
                           static_cast<qsizetype>(size - 2));
    const PackageParts::Held held = PackageParts::hold(input, *rule);
    if (PackageParts::restore(held.part, held) != input)
        std::abort();
    const qsizetype cut = input.size() * data[1] / 256;
    const QByteArray cell = data[1] % 2 ? QByteArray("si") : QByteArray("table:table-cell");
    if (PackageParts::keepCellBlanks(input, input, cell) != input)
        std::abort();
    (void)PackageParts::keepCellBlanks(input.left(cut), input.mid(cut), cell);
    return 0;
}
