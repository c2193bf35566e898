// Reading a profile file, or another text file a person prepares, with a size cap and one
// encoding check for every reader.
#include "profile.h"

#include <QFile>

namespace profile {

std::variant<QString, ProfileError> ReadProfileFile(const QString& path) {
    return ReadUtf8File(
        path, kLargestProfile,
        QStringLiteral("It is too large to be a settings file (more than 64 KiB)."));
}

std::variant<QString, ProfileError> ReadUtf8File(const QString& path, qint64 largestBytes,
                                                 const QString& tooLarge) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ProfileError{{}, 0, file.errorString()};
    // One byte more than allowed tells a file too large from one just large enough, and
    // ends the read of an endless device.
    const QByteArray bytes = file.read(largestBytes + 1);
    if (bytes.size() > largestBytes)
        return ProfileError{{}, 0, tooLarge};
    return DecodeProfile(bytes);
}

} // namespace profile
