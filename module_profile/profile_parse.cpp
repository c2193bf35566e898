// Reading a profile or a job file: sections, keys and values line by line, refusing the first
// line that is not understood, so that a typo never passes silently.
#include "job_file_format.h"
#include "label_template_keys.h"
#include "profile.h"
#include "value_text.h"

#include <QHash>
#include <QStringDecoder>

namespace profile {

namespace {

enum class Section { None, Module, Device, Job, Set, Label, Code, Text };

// The sections one kind of file has, and how its messages name them.
struct FileKind {
    QList<std::pair<QString, Section>> sections;
    QString unknownSection;
    QString keyOutsideSection;
};

const FileKind kProfileKind{
    {{QStringLiteral("Module"), Section::Module}, {QStringLiteral("Device"), Section::Device}},
    QStringLiteral("unknown section (the sections are [Module] and [Device])"),
    QStringLiteral("keys belong under [Module] or [Device]")};

const FileKind kJobKind{
    {{QStringLiteral("Job"), Section::Job}, {QStringLiteral("Set"), Section::Set}},
    QStringLiteral("unknown section (the sections of a job file are [Job] and [Set])"),
    QStringLiteral("keys belong under [Job] or [Set]")};

const FileKind kLabelKind{
    {{QStringLiteral("Label"), Section::Label},
     {QStringLiteral("Code"), Section::Code},
     {QStringLiteral("Text"), Section::Text}},
    QStringLiteral("unknown section (the sections of a label are [Label], [Code] and [Text])"),
    QStringLiteral("keys belong under [Label], [Code] or [Text]")};

bool IsCommentOrEmpty(QStringView line) {
    return line.isEmpty() || line.front() == u';' || line.front() == u'#';
}

// "[Name]", optionally followed by a comment.
std::optional<ProfileError> ReadSectionLine(QStringView line, int number, const FileKind& kind,
                                            Section& section, QString& sectionName) {
    const qsizetype close = line.indexOf(u']');
    if (close < 0)
        return ProfileError{line.toString(), number, QStringLiteral("the closing ] is missing")};
    const QString name = line.mid(1, close - 1).toString();
    const QStringView rest = TrimBlanks(line.mid(close + 1));
    if (!rest.isEmpty() && rest.front() != u';')
        return ProfileError{QStringLiteral("[%1]").arg(name), number,
                            QStringLiteral("nothing but a comment may follow a section name")};
    for (const auto& [known, which] : kind.sections) {
        if (name == known) {
            section = which;
            sectionName = name;
            return std::nullopt;
        }
    }
    return ProfileError{QStringLiteral("[%1]").arg(name), number, kind.unknownSection};
}

std::optional<ProfileError> SetDeviceKey(DeviceFacts& device, const QString& key,
                                         const QString& value) {
    if (key == kDeviceKeys[0])
        device.address = value;
    else if (key == kDeviceKeys[1])
        device.firmware = value;
    else
        return ProfileError{
            key, 0, QStringLiteral("unknown key (the keys are %1)").arg(kDeviceKeys.join(u' '))};
    return std::nullopt;
}

std::optional<ProfileError> SetJobKey(JobFile& job, const QString& key, const QString& value) {
    if (key == QLatin1String("profile")) {
        job.profile = value;
    } else if (key == QLatin1String("ports")) {
        job.all = value == QLatin1String("all");
        job.ports = job.all ? QStringList() : value.split(u' ', Qt::SkipEmptyParts);
    } else if (key == QLatin1String("values")) {
        job.values = value;
    } else if (key == QLatin1String("record")) {
        job.record = value;
    } else if (key == QLatin1String("bench")) {
        job.bench = value;
    } else if (key == QLatin1String("verify")) {
        if (value != QLatin1String("yes") && value != QLatin1String("no"))
            return ProfileError{key, 0, QStringLiteral("must be yes or no")};
        job.verify = value == QLatin1String("yes");
    } else if (key == QLatin1String("log")) {
        job.log = value;
    } else if (key == QLatin1String("trace")) {
        job.trace = value;
    } else if (key == QLatin1String("label")) {
        job.label = value;
    } else if (key == QLatin1String("label_pdf")) {
        job.labelPdf = value;
    } else if (key == QLatin1String("printer")) {
        job.printer = value;
    } else {
        return ProfileError{
            key, 0, QStringLiteral("unknown key (the keys are %1)").arg(kJobKeys.join(u' '))};
    }
    return std::nullopt;
}

// A [Set] value keeps its placeholders: it is checked once they are filled for a module.
std::optional<ProfileError> AddSet(JobFile& job, const QString& key, const QString& value) {
    if (!kModuleKeys.contains(key))
        return ProfileError{
            key, 0, QStringLiteral("unknown key (the keys are %1)").arg(kModuleKeys.join(u' '))};
    job.sets << key + u'=' + value;
    return std::nullopt;
}

class ProfileReader {
public:
    explicit ProfileReader(const FileKind& kind) : m_kind(kind) {}

    std::optional<ProfileError> ReadLine(QStringView line, int number) {
        line = TrimBlanks(line);
        if (IsCommentOrEmpty(line))
            return std::nullopt;
        if (line.front() == u'[')
            return ReadSectionLine(line, number, m_kind, m_section, m_sectionName);
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            return ProfileError{
                {}, number, QStringLiteral("expected key=value, a [section] or a comment")};
        const QString key = TrimBlanks(line.left(equals)).toString();
        if (m_section == Section::None)
            return ProfileError{key, number, m_kind.keyOutsideSection};
        const auto value = UnquoteValue(line.mid(equals + 1));
        if (const auto* error = std::get_if<ValueSyntaxError>(&value))
            return ProfileError{key, number, error->rule};
        if (std::optional<ProfileError> error = SetKey(key, std::get<QString>(value), number)) {
            error->line = number;
            return error;
        }
        return NoteKey(key, number);
    }

    const Profile& Result() const { return m_profile; }
    const JobFile& Job() const { return m_job; }
    const LabelTemplate& Label() const { return m_label; }
    // The line of each key read, as "Section/key".
    const QHash<QString, int>& Lines() const { return m_seen; }

private:
    std::optional<ProfileError> SetKey(const QString& key, const QString& value, int number) {
        switch (m_section) {
        case Section::Module:
            return SetModuleKey(m_profile.module, key, value);
        case Section::Device:
            return SetDeviceKey(m_profile.device, key, value);
        case Section::Job:
            return SetJobKey(m_job, key, value);
        case Section::Set:
            return AddSet(m_job, key, value);
        case Section::Label:
            return SetLabelKey(m_label, LabelSection::Label, key, value, number);
        case Section::Code:
            return SetLabelKey(m_label, LabelSection::Code, key, value, number);
        case Section::Text:
            return SetLabelKey(m_label, LabelSection::Text, key, value, number);
        case Section::None:
            break;
        }
        return std::nullopt;
    }

    // A second value for a key is most likely a slip; which one was meant is unknown.
    std::optional<ProfileError> NoteKey(const QString& key, int number) {
        const QString where = m_sectionName + u'/' + key;
        const auto first = m_seen.constFind(where);
        if (first != m_seen.constEnd())
            return ProfileError{key, number,
                                QStringLiteral("given twice (first on line %1)").arg(*first)};
        m_seen.insert(where, number);
        return std::nullopt;
    }

    const FileKind& m_kind;
    Profile m_profile;
    JobFile m_job;
    LabelTemplate m_label;
    Section m_section = Section::None;
    QString m_sectionName;
    QHash<QString, int> m_seen;
};

// Feeds every line of `text` to `reader`: the first line it refuses, or nothing.
std::optional<ProfileError> ReadLines(ProfileReader& reader, const QString& text) {
    int number = 0;
    for (QStringView line : QStringView(text).split(u'\n')) {
        ++number;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (std::optional<ProfileError> error = reader.ReadLine(line, number))
            return error;
    }
    return std::nullopt;
}

} // namespace

std::variant<QString, ProfileError> DecodeProfile(const QByteArray& bytes) {
    QByteArrayView text = bytes;
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    QString decoded;
    int number = 0;
    for (QByteArrayView line : QByteArray::fromRawData(text.data(), text.size()).split('\n')) {
        ++number;
        // Line by line, so that the message can say where a Latin-1 file goes wrong.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        decoded += decoder.decode(line);
        if (decoder.hasError())
            return ProfileError{
                {}, number, QStringLiteral("not UTF-8 text (save the file as UTF-8)")};
        decoded += u'\n';
    }
    decoded.chop(1);
    return decoded;
}

std::variant<Profile, ProfileError> ParseProfileText(const QString& text) {
    ProfileReader reader(kProfileKind);
    if (std::optional<ProfileError> error = ReadLines(reader, text))
        return *error;
    return reader.Result();
}

std::variant<JobFile, ProfileError> ParseJobText(const QString& text) {
    ProfileReader reader(kJobKind);
    if (std::optional<ProfileError> error = ReadLines(reader, text))
        return *error;
    return reader.Job();
}

std::variant<LabelTemplate, ProfileError> ParseLabelText(const QString& text) {
    ProfileReader reader(kLabelKind);
    if (std::optional<ProfileError> error = ReadLines(reader, text))
        return *error;
    if (std::optional<ProfileError> error = CheckLabelLayout(reader.Label(), reader.Lines()))
        return *error;
    return reader.Label();
}

QStringList ProfileValues(const QString& text) {
    QStringList values;
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        line = TrimBlanks(line);
        const qsizetype equals = line.indexOf(u'=');
        if (IsCommentOrEmpty(line) || line.front() == u'[' || equals < 0)
            continue;
        const auto read = UnquoteValue(line.mid(equals + 1));
        if (const auto* value = std::get_if<QString>(&read))
            values << *value;
    }
    return values;
}

std::variant<Profile, ProfileError> ParseProfile(const QByteArray& utf8Text) {
    const auto text = DecodeProfile(utf8Text);
    if (const auto* error = std::get_if<ProfileError>(&text))
        return *error;
    return ParseProfileText(std::get<QString>(text));
}

QString DescribeProfileError(const ProfileError& error) {
    QString text;
    if (error.line > 0)
        text = QStringLiteral("line %1: ").arg(error.line);
    if (!error.key.isEmpty())
        text += error.key + QStringLiteral(": ");
    return text + error.rule;
}

} // namespace profile
