#pragma once

#include "catalogue/Catalogue.h"
#include "catalogue/FieldDef.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// A fresh data folder per test, with its recordings folder.
class DataFolderTest : public testing::Test
{
protected:
    QString data() const { return m_dir.path(); }
    QString wavDir() const { return m_dir.path() + QStringLiteral("/wav/"); }
    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }

    std::unique_ptr<Catalogue> openCatalogue()
    {
        QDir().mkpath(wavDir());
        auto catalogue = std::make_unique<Catalogue>(data(), wavDir());
        catalogue->OpenCatalogue();
        return catalogue;
    }

    // A recording of `bytes` bytes as Recorded.wav, then its row.
    static QString addRecording(Catalogue& catalogue, const QDateTime& start, qint64 seconds, bool answered,
                                const QString& number = QString(), int bytes = 100);

    QTemporaryDir m_dir;
};

// Builds a table file from field definitions and rows of values.
void writeTableFile(const QString& folder, const QString& tableName, const FieldDefs& fields,
                    const std::vector<std::vector<QVariant>>& rows);
