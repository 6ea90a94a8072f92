// One aphorism dataset over a temporary MAIN.DB, bound through a data source,
// as the data module binds FDQuery4; and a scripted dialog service, so that a
// confirmation or an error box is answered and recorded instead of shown.
#pragma once

#include "dataset/Dataset.h"
#include "dataset/DataSource.h"
#include "Fixture.h"
#include "services/Services.h"

#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

struct Catalogue
{
    testsupport::TempCollection files;
    data::Connection connection{QStringLiteral("FCONNECT")};
    data::QueryDataset dataset{QStringLiteral("FDQuery4"), &connection};
    data::DataSource source{QStringLiteral("DataSource4"), &dataset};

    Catalogue()
    {
        connection.SetDriverName(QStringLiteral("SQLite"));
        connection.SetDatabase(files.path());
        dataset.SetSQL(QStringLiteral("SELECT * FROM TB4 ORDER BY NMB4"));
    }

    // Rows 1..count of node 1: AUTHOR "Автор i", AFORIZM "Текст i".
    void addAforizms(int count)
    {
        testsupport::exec(files.path(),
                          QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                         "FROM n WHERE i < %1) INSERT INTO TB4 (NMB3, AUTHOR, "
                                         "AFORIZM) SELECT 1, 'Автор ' || i, 'Текст ' || i FROM n")
                              .arg(count));
    }
    qint64 add(const QVariant& author, const QVariant& text, const QVariant& source = {})
    {
        return testsupport::insert(files.path(),
                                   "INSERT INTO TB4 (NMB3, AUTHOR, AFORIZM, SOURCE) "
                                   "VALUES (1, ?, ?, ?)",
                                   {author, text, source});
    }
    QVariant stored(const QString& sql) { return testsupport::scalar(files.path(), sql); }
};

// Installs scripted dialogs for the lifetime of the object.
struct ScriptedDialogsScope
{
    services::ScriptedDialogs dialogs;
    services::Dialogs* previous;
    ScriptedDialogsScope() : previous(services::setDialogs(&dialogs)) {}
    ~ScriptedDialogsScope() { services::setDialogs(previous); }
};

// Types text into a widget key by key, letters of any alphabet included
// (QTest::keyClicks knows only ASCII).
inline void typeText(QWidget* widget, const QString& text)
{
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &release);
    }
}
