// Up Next in its four states, as the calendar service moves between them, and its rows as the clock runs.
#include "popover/UpNextView.h"
#include "calendar/CalendarService.h"
#include "popover/EventRow.h"
#include "tests/popover/PopoverTestSupport.h"
#include "tests/support/CalendarTestSupport.h"
#include "tests/support/TestContext.h"
#include "ui/PlainButton.h"
#include "ui/TextLabel.h"

#include <QAccessible>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace kalvix;
using namespace kalvix::test;
using ui::ColorRole;

namespace {

constexpr int kColumnWidth = 283; // what the Standard layout leaves Up Next
constexpr int kRowHeight = 280;

Instant thursday()
{
    return local(2026, 3, 5, 9, 41);
}

struct Fixture {
    explicit Fixture(CalendarAccess access = CalendarAccess::fullAccess,
                     std::vector<CalendarOccurrence> events = {},
                     QString unreadable = {})
        : fakes(makeContext(access, std::move(events), std::move(unreadable)))
        , view(fakes->context())
    {
        view.setAttribute(Qt::WA_DontShowOnScreen);
        view.resize(kColumnWidth, kRowHeight);
        view.show();
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }

    static std::unique_ptr<TestContext>
    makeContext(CalendarAccess access, std::vector<CalendarOccurrence> events, QString unreadable)
    {
        popoverApp();
        auto context = std::make_unique<TestContext>(thursday(), access);
        context->store.setOccurrences(std::move(events));
        context->store.setUnreadableSource(std::move(unreadable));
        context->store.announceChange();
        processQueued();
        return context;
    }

    std::unique_ptr<TestContext> fakes;
    UpNextView view;
};

bool shows(const UpNextView& view, QWidget* content)
{
    return content && content->isVisible() && view.contentWidget() == content;
}

QColor inkOf(const ui::TextLabel* label)
{
    return label->ink().resolve(label->palette());
}

} // namespace

TEST(UpNextView, requestingUntilAccessIsGrantedThenTheListWithoutReopening)
{
    Fixture f(CalendarAccess::notDetermined, {timed("Sync", thursday() + 600, thursday() + 1800)});
    EXPECT_EQ(f.view.state(), UpNextState::requesting);
    auto* text = qobject_cast<ui::TextLabel*>(f.view.contentWidget());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), u"Requesting calendar access\u2026"_qs);
    EXPECT_EQ(inkOf(text), ui::roleColor(ColorRole::secondary, text->palette()));

    f.fakes->store.answer(true);
    processQueued();
    EXPECT_EQ(f.view.state(), UpNextState::list);
    ASSERT_EQ(f.view.rows().size(), 1);
    EXPECT_TRUE(f.view.rows().first()->isVisible());
    EXPECT_FALSE(text->isVisible());
}

TEST(UpNextView, deniedExplainsAndOpensTheFolderThatCouldNotBeRead)
{
    Fixture f(CalendarAccess::denied, {}, u"/home/me/.calendars/work"_qs);
    EXPECT_EQ(f.view.state(), UpNextState::denied);
    EXPECT_TRUE(shows(f.view, f.view.contentWidget()));
    const auto texts = f.view.contentWidget()->findChildren<ui::TextLabel*>();
    ASSERT_EQ(texts.size(), 1);
    EXPECT_EQ(texts.first()->text(), u"Kalvix needs calendar access to show your events."_qs);
    QPushButton* button = f.view.openFolderButton();
    EXPECT_EQ(button->text(), u"Open Calendar Folder"_qs);
    EXPECT_TRUE(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(f.fakes->actions.folders, QStringList{u"/home/me/.calendars/work"_qs});

    // The link to the calendar application works in every state.
    QTest::mouseClick(f.view.viewAllLink(), Qt::LeftButton);
    EXPECT_EQ(f.fakes->actions.plainCalendarOpens, 1);
}

TEST(UpNextView, emptyCentresItsTextWithRoomAboveAndBelow)
{
    Fixture f;
    EXPECT_EQ(f.view.state(), UpNextState::empty);
    ui::TextLabel* empty = f.view.emptyText();
    EXPECT_TRUE(empty->isVisible());
    EXPECT_EQ(empty->text(), u"No upcoming events"_qs);
    EXPECT_TRUE(empty->alignment() & Qt::AlignHCenter);
    const QRect box = rectIn(f.view.contentWidget(), &f.view);
    const QRect text = rectIn(empty, &f.view);
    EXPECT_EQ(text.top() - box.top(), 20);
    EXPECT_EQ(box.bottom() - text.bottom(), 20);
    EXPECT_EQ(text.width(), kColumnWidth) << "stretched to the full width";
}

TEST(UpNextView, theFooterSitsAtTheBottomOfTheRowBehindAHairline)
{
    Fixture f;
    const QRect link = rectIn(f.view.viewAllLink(), &f.view);
    EXPECT_EQ(link.bottom(), kRowHeight - 1);
    EXPECT_EQ(link.width(), kColumnWidth);
    EXPECT_EQ(f.view.viewAllLink()->text(), u"View All Events"_qs);
    const auto lines = test::dividersIn(f.view, Qt::Horizontal);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(link.top() - rectIn(lines.first(), &f.view).bottom() - 1, 10);
}

TEST(UpNextView, fourOfFiveEventsWithLiveLabelsAndTheRunningOneInTheAccentColour)
{
    const Instant now = thursday();
    Fixture f(CalendarAccess::fullAccess,
              {timed("Sync", now - 660, now + 1140, kBlue),
               timed("Lunch", now + 10140, now + 13740, kGreen),
               timed("Review", now + 19140, now + 22740, kBlue),
               timed("Dentist", local(2026, 3, 9, 16), local(2026, 3, 9, 16, 30), kGreen),
               timed("Call", local(2026, 3, 10, 11), local(2026, 3, 10, 11, 30), kRed)});
    ASSERT_EQ(f.view.rows().size(), 4);
    QStringList titles;
    for (EventRow* row : f.view.rows())
        titles << row->titleLabel()->text();
    EXPECT_EQ(titles, (QStringList{u"Sync"_qs, u"Lunch"_qs, u"Review"_qs, u"Dentist"_qs}));

    EventRow* sync = f.view.rows()[0];
    EXPECT_EQ(sync->relativeLabel()->text(), u"Now"_qs);
    EXPECT_EQ(inkOf(sync->relativeLabel()), ui::roleColor(ColorRole::accent, sync->palette()));
    EXPECT_EQ(sync->timeLabel()->text(), u"09:30 \u2013 10:00"_qs);
    EventRow* lunch = f.view.rows()[1];
    EXPECT_EQ(lunch->relativeLabel()->text(), u"in 2h 49m"_qs);
    EXPECT_EQ(inkOf(lunch->relativeLabel()), ui::roleColor(ColorRole::secondary, lunch->palette()));
    EXPECT_EQ(f.view.rows()[3]->relativeLabel()->text(), u"Monday"_qs);

    // The clock moves on: Sync has ended and turns dim; the rows stay until the next calendar refresh.
    f.fakes->advance(1200);
    EXPECT_EQ(f.view.rows().size(), 4);
    EXPECT_EQ(sync->relativeLabel()->text(), u"in 1m"_qs);
    EXPECT_EQ(inkOf(sync->relativeLabel()), ui::roleColor(ColorRole::secondary, sync->palette()));
    EXPECT_EQ(lunch->relativeLabel()->text(), u"in 2h 29m"_qs);

    // While hidden the rows are left alone, and catch up when shown again.
    f.view.hide();
    f.fakes->advance(3600);
    EXPECT_EQ(lunch->relativeLabel()->text(), u"in 2h 29m"_qs);
    f.view.show();
    EXPECT_EQ(lunch->relativeLabel()->text(), u"in 1h 29m"_qs);
}

TEST(UpNextView, aLongTitleGivesWayAndTheRelativeLabelKeepsItsPlace)
{
    const Instant now = thursday();
    Fixture f(CalendarAccess::fullAccess,
              {timed("Design review of the new onboarding flow with the whole team", now + 3600, now + 7200)});
    ASSERT_EQ(f.view.rows().size(), 1);
    EventRow* row = f.view.rows().first();
    EXPECT_TRUE(row->titleLabel()->isElided());
    const QRect title = rectIn(row->titleLabel(), &f.view);
    const QRect relative = rectIn(row->relativeLabel(), &f.view);
    EXPECT_EQ(relative.right(), kColumnWidth - 1) << "at the right edge";
    EXPECT_EQ(relative.width(), row->relativeLabel()->sizeHint().width()) << "never cut";
    EXPECT_GE(relative.left() - title.right() - 1, 8);
    EXPECT_EQ(title.height(), row->titleLabel()->sizeHint().height()) << "one line";

    // What the row cuts is whole on hover and for a screen reader.
    const QString whole = QStringLiteral("Design review of the new onboarding flow with the whole team");
    EXPECT_TRUE(row->toolTip().startsWith(whole + u'\n')) << row->toolTip().toStdString();
    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(row);
    ASSERT_NE(a11y, nullptr);
    EXPECT_EQ(a11y->role(), QAccessible::ListItem);
    EXPECT_EQ(a11y->text(QAccessible::Name), whole);
    EXPECT_EQ(a11y->text(QAccessible::Description), row->toolTip().split(u'\n').mid(1).join(QStringLiteral(", ")));
}

TEST(EventRow, barAndIconInTheCalendarsColour)
{
    popoverApp();
    DayEvent event;
    event.id = u"e"_qs;
    event.title = u"Sync"_qs;
    event.start = thursday() + 600;
    event.end = thursday() + 1800;
    event.color = CalendarColor{200, 40, 120, 255};
    EventRow row(event, thursday());
    row.setAttribute(Qt::WA_DontShowOnScreen);
    row.resize(kColumnWidth, row.sizeHint().height());
    row.show();
    const QImage image = render(row, 2);
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < 12; ++x) // the bar, at the row's left edge
            if (image.pixelColor(x, y).alpha() > 200 && sameRgb(image.pixelColor(x, y), QColor(200, 40, 120), 10)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_EQ(left, 0);
    EXPECT_NEAR((right - left + 1) / 2.0, 4, 0.5);
    EXPECT_NEAR((bottom - top + 1) / 2.0, 42, 0.5);
    int iconPixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = (4 + 12) * 2; x < (4 + 12 + 26) * 2; ++x)
            iconPixels +=
                image.pixelColor(x, y).alpha() > 200 && sameRgb(image.pixelColor(x, y), QColor(200, 40, 120), 10);
    EXPECT_GT(iconPixels, 40) << "the calendar symbol in its frame, in the event's colour";
}

TEST(UpNextView, aRefreshThatRenamesOrMovesAnEventRedrawsItsRow)
{
    const Instant now = thursday();
    Fixture f(CalendarAccess::fullAccess, {timed("Sync", now + 600, now + 1800, kBlue, "sync-1")});
    ASSERT_EQ(f.view.rows().size(), 1);
    EXPECT_EQ(f.view.rows()[0]->titleLabel()->text(), u"Sync"_qs);

    // The same occurrence (same id) with a new title, then at a new time: each is a new row.
    f.fakes->store.setOccurrences({timed("Team sync", now + 600, now + 1800, kBlue, "sync-1")});
    f.fakes->store.announceChange();
    processQueued();
    ASSERT_EQ(f.view.rows().size(), 1);
    EXPECT_EQ(f.view.rows()[0]->titleLabel()->text(), u"Team sync"_qs);

    f.fakes->store.setOccurrences({timed("Team sync", now + 600, now + 2400, kBlue, "sync-1")});
    f.fakes->store.announceChange();
    processQueued();
    ASSERT_EQ(f.view.rows().size(), 1);
    EXPECT_EQ(f.view.rows()[0]->timeLabel()->text(), u"09:51 \u2013 10:21"_qs);
}
