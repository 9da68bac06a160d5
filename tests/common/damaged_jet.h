#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

// Damaged copies of the Jet test database, made by the tests that need them rather than kept as
// files: the fixture's bytes with some of them replaced.
using JetChanges = std::vector<std::pair<qint64, QByteArray>>;

// A page of the fixture (4096 bytes) full of zeros.
inline std::pair<qint64, QByteArray> ZeroJetPage(int page) {
    return {qint64{page} * 4096, QByteArray(4096, '\0')};
}

inline void MakeDamagedJetCopy(const QString& fixture, const QString& path,
                               const JetChanges& changes) {
    ASSERT_TRUE(QFile::copy(fixture, path));
    QFile file(path);
    ASSERT_TRUE(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    for (const auto& [offset, bytes] : changes) {
        ASSERT_TRUE(file.seek(offset));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
}
