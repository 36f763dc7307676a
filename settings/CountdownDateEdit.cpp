#include "settings/CountdownDateEdit.h"

#include "settings/CountdownDates.h"
#include "time/TimeSource.h"
#include "ui/ColorRoles.h"
#include "ui/Shapes.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace kalvix::settings {
namespace {

constexpr qreal kRingWidth = 2;
constexpr qreal kRingRadius = 4;

QString rangeText()
{
    const QLocale locale;
    return QStringLiteral("Any day from %1 to %2.")
        .arg(locale.toString(firstPickableDate(), QLocale::LongFormat),
             locale.toString(lastPickableDate(), QLocale::LongFormat));
}

} // namespace

CountdownDateEdit::CountdownDateEdit(const TimeSource& time, QWidget* parent)
    : QDateEdit(parent)
    , m_time(time)
{
    setDateRange(firstPickableDate(), lastPickableDate());
    setDisplayFormat(pickerDateFormat(QLocale()));
    setCalendarPopup(true);
    setFocusPolicy(Qt::StrongFocus);
    setToolTip(rangeText());
    connect(this, &QDateEdit::dateChanged, this, [this](QDate day) {
        if (!m_showing)
            pick(day);
    });
    // While the text is no day at all (year 0050) the editor keeps its last day and says nothing; the ring
    // says it, once the text is typed out: half-typed text is on its way to a day.
    connect(
        lineEdit(), &QLineEdit::textChanged, this, [this] { setRefusing(!hasAcceptableInput() && textComplete()); });
    lineEdit()->installEventFilter(this);
}

bool CountdownDateEdit::textComplete() const
{
    const QString format = displayFormat();
    for (int i = 0; i < sectionCount(); ++i) {
        const Section section = sectionAt(i);
        const QChar letter = section == DaySection ? u'd' : section == MonthSection ? u'M' : u'y';
        const qsizetype from = format.indexOf(letter);
        qsizetype run = 0;
        while (from >= 0 && from + run < format.size() && format[from + run] == letter)
            ++run;
        // Numbers: "d" takes one digit or two, "dd" two, "yyyy" four; a name ("MMM") one letter or more.
        const qsizetype least = run >= 3 && letter != u'y' ? 1 : run;
        if (sectionText(section).trimmed().size() < least)
            return false;
    }
    return true;
}

// The editor's own size puts the last digit of a date such as 25/12/2026 against the drop-down button:
// one digit more of room keeps them apart.
QSize CountdownDateEdit::sizeHint() const
{
    QSize hint = QDateEdit::sizeHint();
    hint.rwidth() += fontMetrics().horizontalAdvance(u'0');
    return hint;
}

QSize CountdownDateEdit::minimumSizeHint() const
{
    QSize hint = QDateEdit::minimumSizeHint();
    hint.rwidth() += fontMetrics().horizontalAdvance(u'0');
    return hint;
}

void CountdownDateEdit::watchCalendar()
{
    // Asking for the calendar makes it; made with every row, it was most of what a row cost to build.
    if (m_watchingCalendar)
        return;
    m_watchingCalendar = true;
    calendarWidget()->installEventFilter(this);
}

void CountdownDateEdit::mousePressEvent(QMouseEvent* event)
{
    watchCalendar(); // before the editor opens it
    QDateEdit::mousePressEvent(event);
}

void CountdownDateEdit::setInstant(Instant date)
{
    m_instant = date;
    m_instantAtFocus = date;
    const std::optional<QDate> day = pickerDate(date, CivilCalendar::current());
    m_showing = true;
    setNoDate(!day);
    setDate(day.value_or(minimumDate()));
    m_showing = false;
    setRefusing(false);
}

void CountdownDateEdit::pick(QDate day)
{
    const std::optional<Instant> picked = pickedInstant(day, m_instant, CivilCalendar::current());
    if (!picked) {
        setRefusing(true);
        return;
    }
    m_instant = *picked;
    setNoDate(false);
    setRefusing(false);
    Q_EMIT instantPicked(m_instant);
}

void CountdownDateEdit::setNoDate(bool noDate)
{
    m_noDate = noDate;
    // The special text shows while the editor sits on its minimum, which it does only in this state.
    setSpecialValueText(noDate ? QStringLiteral("No date") : QString());
}

void CountdownDateEdit::setRefusing(bool refusing)
{
    if (m_refusing == refusing)
        return;
    m_refusing = refusing;
    setToolTip(refusing ? QStringLiteral("Not a day Kalvix can keep. ") + rangeText() : rangeText());
    setAccessibleDescription(refusing ? toolTip() : QString());
    update();
}

void CountdownDateEdit::focusInEvent(QFocusEvent* event)
{
    m_instantAtFocus = m_instant;
    QDateEdit::focusInEvent(event);
}

void CountdownDateEdit::keyPressEvent(QKeyEvent* event)
{
    // A digit typed into a year that has its four already is dropped by the editor, which would leave the
    // first four as a year nobody meant (10000 kept as 1000, and saved while it was typed): the year is
    // refused and the day from before the typing comes back.
    watchCalendar(); // F4 and Alt+Down open it
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // The editing ends: text that is no day is put back by the editor, and the ring says it was not taken.
        const bool refused = m_refusing || !hasAcceptableInput();
        QDateEdit::keyPressEvent(event);
        setRefusing(refused);
        return;
    }
    const QString typed = event->text();
    if (currentSection() == QDateTimeEdit::YearSection && typed.size() == 1 && typed.front().isDigit() &&
        !lineEdit()->hasSelectedText() && sectionText(QDateTimeEdit::YearSection).size() >= 4) {
        if (m_instant != m_instantAtFocus) {
            setInstant(m_instantAtFocus);
            Q_EMIT instantPicked(m_instant);
        }
        setRefusing(true);
        event->accept();
        return;
    }
    QDateEdit::keyPressEvent(event);
}

void CountdownDateEdit::focusOutEvent(QFocusEvent* event)
{
    // The editor puts its last day back in place of text it cannot take; the ring stays to say that the
    // typed text was not taken, until the next keystroke.
    const bool refused = m_refusing || !hasAcceptableInput();
    QDateEdit::focusOutEvent(event);
    setRefusing(refused);
}

void CountdownDateEdit::wheelEvent(QWheelEvent* event)
{
    if (hasFocus())
        QDateEdit::wheelEvent(event);
    else
        event->ignore(); // on to the form, which scrolls
}

bool CountdownDateEdit::eventFilter(QObject* watched, QEvent* event)
{
    // A click (not a drag over the text) selects the part of the date it landed in.
    if (watched == lineEdit() && event->type() == QEvent::MouseButtonRelease && !lineEdit()->hasSelectedText())
        setSelectedSection(currentSection());
    // A stored day the picker cannot show opens the calendar at today, not at the year 100 it sits on.
    if (watched == calendarWidget() && event->type() == QEvent::Show && m_noDate)
        if (const std::optional<CivilDate> today = CivilCalendar::current().dateOf(m_time.now()))
            calendarWidget()->setCurrentPage(today->year, today->month);
    return QDateEdit::eventFilter(watched, event);
}

void CountdownDateEdit::paintEvent(QPaintEvent* event)
{
    QDateEdit::paintEvent(event);
    if (!m_refusing)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    ui::strokeRoundedRectInside(
        painter, QRectF(rect()), kRingRadius, ui::fixedColor(ui::FixedColor::red, palette()), kRingWidth);
}

} // namespace kalvix::settings
