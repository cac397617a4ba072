// SettingsFile: QSettings in INI format, opened for each call so that nothing is cached between
// the program's reads and writes.
#include "platform_qt/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <cstdio>

namespace {

QString SettingsKey(const char *section, const char *key) {
    return QString::fromLatin1(section) + QLatin1Char('/') + QString::fromLatin1(key);
}

bool FolderWritable(const QString &file) {
    return QFileInfo(QFileInfo(file).absolutePath()).isWritable();
}

}  // namespace

QString SettingsFile::FallbackPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/vorna/vorna.ini");
}

std::string SettingsFile::Read(const char *path, const char *section, const char *key,
                               const char *defaultValue) {
    QString file = QFile::decodeName(path);
    // Settings that could not be written beside the program were written to the fallback.
    if (!FolderWritable(file) && QFileInfo::exists(FallbackPath())) {
        file = FallbackPath();
    }
    QSettings settings(file, QSettings::IniFormat);
    QVariant value = settings.value(SettingsKey(section, key));
    QByteArray bytes = value.isValid() && value.canConvert<QString>() ? value.toString().toUtf8()
                                                                      : QByteArray(defaultValue);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

bool SettingsFile::Write(const char *path, const char *section, const char *key,
                         const char *value) {
    QString file = QFile::decodeName(path);
    if (FolderWritable(file)) {
        {
            QSettings settings(file, QSettings::IniFormat);
            if (settings.status() == QSettings::FormatError) {
                // An unreadable file would not be rewritten: start it afresh.
                settings.clear();
            }
            settings.setValue(SettingsKey(section, key), QString::fromUtf8(value));
            settings.sync();
            if (settings.status() == QSettings::NoError) {
                return true;
            }
        }
        // Garbage that QSettings refuses to rewrite: replace the file with a fresh one.
        QString fresh = file + QStringLiteral(".new");
        QFile::remove(fresh);
        {
            QSettings settings(fresh, QSettings::IniFormat);
            settings.setValue(SettingsKey(section, key), QString::fromUtf8(value));
            settings.sync();
        }
        if (std::rename(QFile::encodeName(fresh).constData(), path) == 0) {
            return true;
        }
        QFile::remove(fresh);
    }
    QString fallback = FallbackPath();
    QDir().mkpath(QFileInfo(fallback).absolutePath());
    QSettings settings(fallback, QSettings::IniFormat);
    settings.setValue(SettingsKey(section, key), QString::fromUtf8(value));
    settings.sync();
    return settings.status() == QSettings::NoError;
}
