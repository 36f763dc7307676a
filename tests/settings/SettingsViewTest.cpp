#include "settings/SettingsView.h"
#include "context/SettingsState.h"
#include "countdowns/Countdown.h"
#include "prefs/Prefs.h"
#include "settings/FormGroup.h"
#include "settings/FormRow.h"
#include "settings/FormSection.h"
#include "tests/settings/SettingsTestSupport.h"
#include "tests/support/TestContext.h"
#include "tests/support/TestEnv.h"
#include "ui/ClockTip.h"
#include "ui/ColorRoles.h"
#include "ui/Switch.h"
#include "ui/TextLabel.h"

#include <QAccessible>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

using namespace kalvix;
using namespace kalvix::test;

namespace {

const std::array<SettingsTab, 4> kTabs{
    SettingsTab::general, SettingsTab::menuBar, SettingsTab::worldClocks, SettingsTab::countdowns};

// A user's settings with a few clocks and countdowns, so the form is taller than the window.
struct Settings {
    Settings()
        : fakes(Instant{utcSeconds(2025, 3, 5, 15, 4, 5)})
    {
        app();
        fakes.countdowns.setItems({Countdown::create(QStringLiteral("Holiday"), Instant{utcSeconds(2025, 7, 18)}),
                                   Countdown::create(QStringLiteral("Birthday"), Instant{utcSeconds(2025, 4, 12)})});
    }
    SettingsView& open()
    {
        view = std::make_unique<SettingsView>(fakes.context());
        view->show();
        view->finishScrolling();
        return *view;
    }
    // Where the section's top is, from the window's top.
    int topOf(SettingsTab tab) const { return view->section(tab)->mapTo(view.get(), QPoint(0, 0)).y(); }
    QScrollBar* bar() const { return view->scrollArea()->verticalScrollBar(); }

    TestContext fakes;
    std::unique_ptr<SettingsView> view;
};

// Controls that Tab reaches, as Qt decides it: focus from the keyboard, shown, enabled, not standing in
// for another widget.
QList<QWidget*> tabStops(QWidget* root)
{
    QList<QWidget*> stops;
    for (QWidget* w : root->findChildren<QWidget*>())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(root) && w->isEnabled() && !w->focusProxy())
            stops << w;
    return stops;
}

const settings::FormRow* rowOf(const QWidget* w)
{
    for (; w; w = w->parentWidget())
        if (const auto* row = qobject_cast<const settings::FormRow*>(w))
            return row;
    return nullptr;
}

// Top to bottom by row, left to right within a row.
QList<QWidget*> readingOrder(QWidget* root)
{
    QList<QWidget*> stops = tabStops(root);
    const auto key = [root](QWidget* w) {
        return std::pair(rowOf(w)->mapTo(root, QPoint(0, 0)).y(), w->mapTo(root, QPoint(0, 0)).x());
    };
    std::sort(stops.begin(), stops.end(), [&](QWidget* a, QWidget* b) { return key(a) < key(b); });
    return stops;
}

// The controls Tab visits from `first`. A date picker takes Tab through its day, month and year first,
// as date editors do, and passes it on from the last of them.
QList<QWidget*> tabWalk(QWidget* first, int steps)
{
    QApplication::setActiveWindow(first->window());
    first->setFocus(Qt::TabFocusReason);
    QList<QWidget*> walked{QApplication::focusWidget()};
    for (int i = 1; i < steps; ++i) {
        QWidget* from = QApplication::focusWidget();
        for (int press = 0; press < 4 && QApplication::focusWidget() == from; ++press)
            QTest::keyClick(from, Qt::Key_Tab);
        walked << QApplication::focusWidget();
    }
    return walked;
}

} // namespace

TEST(SettingsView, isOneFixedFormOfFourSectionsWithTheirHeadersAndFooters)
{
    Settings s;
    SettingsView& view = s.open();
    EXPECT_EQ(view.size(), QSize(480, 560));
    EXPECT_EQ(view.minimumSize(), view.maximumSize());
    const QStringList headers{QStringLiteral("General"),
                              QStringLiteral("Menu Bar Clock"),
                              QStringLiteral("World Clocks"),
                              QStringLiteral("Countdowns")};
    const QStringList footers{ui::generalFooterText(),
                              QString(),
                              QStringLiteral("Up to 6 clocks, shown left to right in the order added."),
                              QStringLiteral("Pinned dates appear in the popover with a live day count.")};
    int previousBottom = -1;
    for (int i = 0; i < 4; ++i) {
        const settings::FormSection* section = view.section(kTabs[i]);
        EXPECT_EQ(section->header()->text(), headers[i]);
        EXPECT_EQ(section->footer() ? section->footer()->text() : QString(), footers[i]);
        EXPECT_GE(section->y(), previousBottom) << "sections one under the other, in order";
        previousBottom = section->geometry().bottom();
    }
    EXPECT_GT(view.scrollArea()->widget()->height(), 560) << "the form scrolls inside the window";
}

TEST(SettingsView, opensWithTheAskedSectionsTopAtTheWindowsTop)
{
    for (SettingsTab tab : kTabs) {
        Settings s;
        s.fakes.settingsState.setTab(tab);
        s.open();
        EXPECT_EQ(s.topOf(tab), 0) << "section " << static_cast<int>(tab);
        EXPECT_EQ(s.view->sectionAtTop(), tab);
    }
}

TEST(SettingsView, endsWithItsMarginUnderCountdownsUnlessASectionAskedForNeedsRoomToReachTheTop)
{
    Settings s;
    s.open();
    settle();
    // Opened at General and scrolled to the end by the user: Countdowns, its footer, the margin, the end.
    s.bar()->setValue(s.bar()->maximum());
    const settings::FormSection* countdowns = s.view->section(SettingsTab::countdowns);
    const int belowCountdowns =
        s.view->scrollArea()->viewport()->height() - (countdowns->geometry().bottom() + 1 - s.bar()->value());
    EXPECT_EQ(belowCountdowns, 20) << "no half window of nothing under the last section";

    // Asked for, Countdowns still comes to the top; asked for General again, the room goes again.
    s.fakes.settingsState.setTab(SettingsTab::countdowns);
    s.view->finishScrolling();
    EXPECT_EQ(s.topOf(SettingsTab::countdowns), 0);
    s.fakes.settingsState.setTab(SettingsTab::general);
    s.view->finishScrolling();
    s.bar()->setValue(s.bar()->maximum());
    EXPECT_EQ(s.view->scrollArea()->viewport()->height() - (countdowns->geometry().bottom() + 1 - s.bar()->value()),
              20);
}

TEST(SettingsView, scrollsOnEveryRequestAlsoForTheSectionAskedBefore)
{
    Settings s;
    s.open();
    EXPECT_EQ(s.bar()->value(), 0);

    s.fakes.settingsState.setTab(SettingsTab::countdowns);
    EXPECT_EQ(s.bar()->value(), 0) << "the form moves there, not jumps";
    s.view->finishScrolling();
    EXPECT_EQ(s.topOf(SettingsTab::countdowns), 0);

    s.fakes.settingsState.setTab(SettingsTab::general);
    s.view->finishScrolling();
    EXPECT_EQ(s.bar()->value(), 0);

    s.fakes.settingsState.setTab(SettingsTab::worldClocks);
    s.view->finishScrolling();
    s.bar()->setValue(s.bar()->maximum()); // the user scrolls away
    s.fakes.settingsState.setTab(SettingsTab::worldClocks);
    s.view->finishScrolling();
    EXPECT_EQ(s.topOf(SettingsTab::worldClocks), 0) << "\"Edit\" beside the world clocks shows them again";
}

TEST(SettingsView, aRequestWhileClosedIsInPlaceWhenTheWindowComesBack)
{
    Settings s;
    s.open();
    s.view->hide();
    s.fakes.settingsState.setTab(SettingsTab::menuBar);
    EXPECT_EQ(s.topOf(SettingsTab::menuBar), 0) << "no animation for a window nobody sees";
    s.view->show();
    EXPECT_EQ(s.topOf(SettingsTab::menuBar), 0);
}

TEST(SettingsView, everyControlTheKeyboardReachesHasAnAccessibleName)
{
    Settings s;
    s.fakes.worldClocks.setCityNames({QStringLiteral("London"), QStringLiteral("Tokyo"), QStringLiteral("Atlantis")});
    // Pickers showing no option, and a countdown without a title, still say what they are.
    s.fakes.prefs.setInt(Pref::timeStyle.name, 7);
    s.fakes.prefs.set(Pref::homeCity, QStringLiteral("Atlantis"));
    s.fakes.countdowns.setItems(s.fakes.countdowns.items() + QList{Countdown::create(QString(), Instant{1e300})});
    SettingsView& view = s.open();
    int checked = 0;
    for (QWidget* w : view.findChildren<QWidget*>()) {
        if (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(&view) || w->focusProxy())
            continue;
        ASSERT_NE(QAccessible::queryAccessibleInterface(w), nullptr) << w->metaObject()->className();
        // Set for it, or a button's own words. (The name Qt derives for a picker or a date field on Linux is
        // its value, which says nothing about what it is for.)
        const auto* button = qobject_cast<QAbstractButton*>(w);
        EXPECT_TRUE(!w->accessibleName().trimmed().isEmpty() || (button && !button->text().trimmed().isEmpty()))
            << w->metaObject()->className() << " at y " << w->mapTo(&view, QPoint(0, 0)).y();
        ++checked;
    }
    // 2 General, 5 Menu Bar, 3 removes + picker + Add, 3 countdowns of 3 controls + Add Countdown.
    EXPECT_EQ(checked, 2 + 5 + 5 + 10);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(control<ui::Switch>(&view, QStringLiteral("Show year")))->role(),
              QAccessible::CheckBox);
}

TEST(SettingsView, tabGoesThroughTheControlsTopToBottomAlsoAfterRowsCome)
{
    Settings s;
    SettingsView& view = s.open();
    QList<QWidget*> expected = readingOrder(&view);
    ASSERT_EQ(expected.size(), 2 + 5 + 4 + 1 + 7); // "Add" is disabled until a city is chosen
    EXPECT_EQ(tabWalk(expected.first(), static_cast<int>(expected.size())), expected);

    // Rows made later take their place in the order, not the end of it.
    s.fakes.countdowns.setItems(s.fakes.countdowns.items() +
                                QList{Countdown::create(QStringLiteral("New"), Instant{utcSeconds(2025, 9, 1)})});
    s.fakes.worldClocks.setCityNames(QStringList{QStringLiteral("Seoul")} + s.fakes.worldClocks.cityNames());
    settle();
    expected = readingOrder(&view);
    ASSERT_EQ(expected.size(), 2 + 5 + 5 + 1 + 10);
    EXPECT_EQ(tabWalk(expected.first(), static_cast<int>(expected.size())), expected);
    // The form follows the keyboard: the control reached last, at the bottom, was scrolled into view.
    const QWidget* viewport = view.scrollArea()->viewport();
    const QWidget* last = expected.last();
    EXPECT_TRUE(viewport->rect().contains(QRect(last->mapTo(viewport, QPoint(0, 0)), last->size())));
}

TEST(SettingsView, followsTheLightAndTheDarkPalette)
{
    Settings s;
    SettingsView& view = s.open();
    const settings::FormGroup* group = view.section(SettingsTab::general)->group();
    // Inside the plate, in the padding of its first row; and the window around it.
    const QPoint plate = group->mapTo(&view, QPoint(settings::FormRow::kPadding / 2, group->rowAt(0)->height() / 2));
    const QPoint around = group->mapTo(&view, QPoint(-6, 0));
    auto* launch = control<ui::Switch>(&view, QStringLiteral("Launch at login"));
    launch->setChecked(true);
    const QPoint onTrack = launch->mapTo(&view, launch->trackRect().center().toPoint() - QPoint(10, 0));
    for (const QPalette& palette : {ui::lightPalette(), ui::darkPalette()}) {
        view.setPalette(palette);
        for (qreal dpr : {1.0, 1.25, 2.0}) {
            const QImage image = grab(view, dpr);
            EXPECT_TRUE(near(pixelAt(image, plate), palette.color(QPalette::Base))) << dpr;
            EXPECT_TRUE(near(pixelAt(image, around), palette.color(QPalette::Window))) << dpr;
            EXPECT_TRUE(near(pixelAt(image, onTrack), palette.color(QPalette::Highlight))) << dpr;
        }
    }
    EXPECT_FALSE(near(ui::lightPalette().color(QPalette::Base), ui::darkPalette().color(QPalette::Base)));

    // The plus of "Add Countdown" is drawn again in the button's text colour of the new theme.
    auto* add = control<QPushButton>(&view, QStringLiteral("Add Countdown"));
    for (const QPalette& palette : {ui::lightPalette(), ui::darkPalette()}) {
        view.setPalette(palette);
        const QImage plus = add->icon().pixmap(add->iconSize(), 2.0).toImage();
        QColor ink;
        for (int y = 0; y < plus.height() && !ink.isValid(); ++y)
            for (int x = 0; x < plus.width() && !ink.isValid(); ++x)
                if (plus.pixelColor(x, y).alpha() == 255)
                    ink = plus.pixelColor(x, y);
        EXPECT_TRUE(near(ink, palette.color(QPalette::ButtonText)));
    }
}
