#include "UniqueKey.h"

#include <QRandomGenerator>
#include <atomic>

namespace {

constexpr int CounterRange = 36 * 36 * 36;

QString base36(qint64 value, int digits)
{
    QString text = QString::number(value, 36).toUpper().rightJustified(digits, QLatin1Char('0'));
    return text.right(digits);
}

} // namespace

QString uniqueKeyAt(const QDateTime& when, int counter)
{
    static const QDateTime epoch(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
    const qint64 seconds = qMax<qint64>(0, epoch.secsTo(when));
    return base36(seconds, 6) + base36(counter % CounterRange, 3);
}

QString newUniqueKey()
{
    static std::atomic<int> counter{int(QRandomGenerator::global()->bounded(CounterRange))};
    return uniqueKeyAt(QDateTime::currentDateTimeUtc(), counter.fetch_add(1) % CounterRange);
}
