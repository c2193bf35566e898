// A pseudo-terminal pair for tests of real serial I/O: the test holds the master side,
// the code under test opens the slave device.
#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

namespace doubles {

class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }

    void write(const QByteArray& bytes);
    // Reads from the master until `count` bytes came or the timeout passed.
    QByteArray read(qsizetype count, std::chrono::milliseconds timeout);
    // The peer vanishes, as an unplugged adapter does.
    void hangUp();

private:
    int m_master = -1;
    QString m_slavePath;
};

} // namespace doubles
