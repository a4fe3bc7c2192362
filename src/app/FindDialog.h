#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <functional>

// "Find": a caller number, Match case, Find next (the search runs in the caller).
class FindDialog : public QDialog
{
    Q_OBJECT
public:
    static inline const QString FinishedText = QStringLiteral("            Search finished            ");
    // `findNext` returns false when nothing more matched.
    FindDialog(const QString& text, bool matchCase, QWidget* parent = nullptr);
    QString text() const { return m_text->text(); }
    bool matchCase() const { return m_matchCase->isChecked(); }
    std::function<bool()> findNext;

private:
    QLineEdit* m_text;
    QCheckBox* m_matchCase;
};
