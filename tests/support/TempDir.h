#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A fresh directory per test, with helpers for whole-file contents.
class TempDir {
public:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    void write(const QString &name, const QByteArray &content) const
    {
        QFile file(path(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }

    QByteArray read(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    bool exists(const QString &name) const { return QFile::exists(path(name)); }

private:
    QTemporaryDir m_dir;
};
