// Reading a profile file, with one size cap and one encoding check for every reader.
#include "profile.h"

#include <QFile>

namespace profile {

std::variant<QString, ProfileError> ReadProfileFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ProfileError{{}, 0, file.errorString()};
    const QByteArray bytes = file.read(kLargestProfile + 1);
    if (bytes.size() > kLargestProfile)
        return ProfileError{
            {}, 0, QStringLiteral("It is too large to be a settings file (more than 64 KiB).")};
    return DecodeProfile(bytes);
}

} // namespace profile
