#pragma once
// Whole-file reads and writes for the tests' fixtures.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>

namespace testenv {

// A fixture that cannot be written fails the test at once.
inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size()) << path.toStdString();
}

// "<missing>" for a file that cannot be read, so it never equals real contents.
inline QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace testenv
