// LocalisedFileModel: the file dialog's list as the chosen language writes it: sizes and dates
// in a given locale, where Qt's own file list keeps the system's. Owns nothing but the locale.
#pragma once

#include <QIdentityProxyModel>
#include <QLocale>

class LocalisedFileModel : public QIdentityProxyModel {
public:
    LocalisedFileModel(const QLocale &locale, QObject *parent);

    // The source's data, except the shown size and date of a file (columns 1 and 3 of a
    // QFileSystemModel), written in the locale.
    QVariant data(const QModelIndex &index, int role) const override;

private:
    QLocale Locale;
};
