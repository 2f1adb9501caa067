#include "server/apertium/TaggerModel.h"

#include <QFile>
#include <algorithm>

namespace {
// The file's numbers are written in one to four bytes, the first byte's top
// two bits telling how many follow; strings are a count and that many
// characters, each such a number.
class Reader
{
public:
    explicit Reader(QByteArrayView data) : m_data(data) {}

    bool failed() const { return m_failed; }

    quint32 number()
    {
        if (m_at >= m_data.size())
            return fail();
        const auto first = static_cast<quint8>(m_data[m_at++]);
        const int more = first >> 6;
        quint32 value = first & 0x3f;
        if (m_at + more > m_data.size())
            return fail();
        for (int i = 0; i < more; ++i)
            value = (value << 8) | static_cast<quint8>(m_data[m_at++]);
        return value;
    }

    // A count of things each at least `least` bytes long: never more than
    // the bytes left could hold.
    quint32 count(int least = 1)
    {
        const quint32 n = number();
        if (!m_failed && n > (m_data.size() - m_at) / least)
            return fail();
        return n;
    }

    QByteArray string()
    {
        QString text;
        for (quint32 n = count(); n != 0 && !m_failed; --n) {
            const quint32 c = number();
            if (c > 0x10ffff)
                return fail(), QByteArray();
            text += QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
        }
        return text.toUtf8();
    }

private:
    quint32 fail()
    {
        m_failed = true;
        m_at = m_data.size();
        return 0;
    }

    QByteArrayView m_data;
    qsizetype m_at = 0;
    bool m_failed = false;
};
} // namespace

std::optional<TaggerModel> TaggerModel::parse(QByteArrayView data)
{
    Reader in(data);
    TaggerModel model;
    // The class of unknown words, each tag as the step from the one before.
    quint32 tag = 0;
    for (quint32 n = in.count(); n != 0; --n) {
        tag += in.number();
        model.m_open.insert(static_cast<int>(tag));
    }
    for (quint32 n = in.count(2); n != 0; --n) { // rules that forbid a tag after another
        in.number();
        in.number();
    }
    for (quint32 n = in.count(); n != 0 && !in.failed(); --n) {
        const QByteArray name = in.string();
        if (model.m_tags.contains(name))
            return std::nullopt; // the notes could not tell which one
        model.m_tags.insert(name, static_cast<int>(model.m_tags.size()));
    }
    for (quint32 n = in.count(2); n != 0; --n) { // tag names to numbers, again
        in.string();
        in.number();
    }
    for (quint32 n = in.count(2); n != 0; --n) { // rules that enforce tags after a tag
        in.number();
        for (quint32 m = in.count(); m != 0; --m)
            in.number();
    }
    for (quint32 n = in.count(); n != 0; --n) // rules that prefer a reading
        in.string();
    for (quint32 n = in.count(2); n != 0; --n) { // constants
        in.string();
        in.number();
    }
    // The ambiguity classes the model knows.
    const quint32 classes = in.count();
    for (quint32 n = classes; n != 0 && !in.failed(); --n) {
        std::set<int> c;
        for (quint32 m = in.count(); m != 0; --m)
            c.insert(static_cast<int>(in.number()));
        model.m_classes.push_back(std::move(c));
    }
    // The sizes of the model's matrices close the part read here: as many
    // tags as named at most, one column for each class.
    const quint32 tags = in.number();
    const quint32 columns = in.number();
    if (in.failed() || columns != classes || tags > static_cast<quint32>(model.m_tags.size()) ||
        model.m_open.empty())
        return std::nullopt;
    for (const std::set<int>& c : model.m_classes) {
        if (!c.empty() && *c.rbegin() >= static_cast<int>(tags))
            return std::nullopt;
    }
    if (*model.m_open.rbegin() >= static_cast<int>(tags))
        return std::nullopt;
    return model;
}

std::optional<TaggerModel> TaggerModel::read(const QString& path)
{
    QFile file(path);
    // Debian's models are 50 to 180 kB.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024 * 1024)
        return std::nullopt;
    return parse(file.readAll());
}

bool TaggerModel::changesTagger(QByteArrayView tags) const
{
    if (!tags.startsWith('{') || !tags.endsWith('}'))
        return true;
    std::set<int> wanted;
    for (const QByteArray& name : tags.sliced(1, tags.size() - 2).toByteArray().split(',')) {
        const auto found = m_tags.constFind(name);
        if (found == m_tags.cend())
            return true;
        wanted.insert(*found);
    }
    return std::any_of(m_classes.cbegin(), m_classes.cend(), [&](const std::set<int>& c) {
        return c.size() < m_open.size() &&
               std::includes(c.begin(), c.end(), wanted.begin(), wanted.end());
    });
}

bool TaggerModel::isTagger(const ApertiumStage& stage)
{
    return stage.program.endsWith(QLatin1String("/apertium-tagger")) &&
           stage.arguments.contains(QLatin1String("-g"));
}

ApertiumMode TaggerModel::withNotes(ApertiumMode mode)
{
    for (ApertiumStage& stage : mode.stages) {
        if (isTagger(stage)) {
            stage.arguments.prepend(QStringLiteral("-d"));
            break; // modes have one
        }
    }
    return mode;
}

QString TaggerModel::modelPath(const ApertiumStage& stage)
{
    for (const QString& a : stage.arguments) {
        if (a == QLatin1String("-u") || a == QLatin1String("-w") || a == QLatin1String("-x") ||
            a.startsWith(QLatin1String("--unigram")) || a == QLatin1String("--sliding-window") ||
            a == QLatin1String("--perceptron"))
            return {};
    }
    return stage.arguments.isEmpty() ? QString() : stage.arguments.last();
}

// Whether a line of the tagger's notes tells that it changed. A tag that
// the tagset lacks is only reported; an ambiguity class the model lacks is
// told in four lines, the last naming it, and changes the tagger when the
// model says so (always, without a model). Any other note is taken as a
// change.
bool TaggerModel::learnedFrom(const QByteArray& line, const std::optional<TaggerModel>& model)
{
    const QByteArray text = line.trimmed();
    static const QByteArray newClass = "New ambiguity class: ";
    if (text.startsWith(newClass))
        return !model || model->changesTagger(QByteArrayView(text).sliced(newClass.size()));
    return !(line.startsWith("Warning: There is not coarse tag for the fine tag") ||
             text == "This is because of an incomplete tagset definition or a dictionary error" ||
             text == "Error: A new ambiguity class was found." ||
             text == "Retraining the tagger is necessary so as to take it into account." ||
             text.startsWith("Word '") || text.isEmpty());
}
