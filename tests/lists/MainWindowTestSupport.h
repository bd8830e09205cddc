#pragma once

// A main window over a store with the lists "Games" (selected, empty) and "Tools", a fake store
// service, a recording shell, recorded alerts and links, and transitions that end at once.

#include "controls/TableView.h"
#include "core/App.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "details/DetailWindowManager.h"
#include "lists/MainWindowController.h"
#include "lists/TransitionTiming.h"
#include "platform/UserDefaults.h"
#include "support/FakeStore.h"
#include "support/RecordingAppShell.h"
#include "support/TestEnvironment.h"
#include "support/TestImages.h"
#include "support/TestServices.h"

#include <QCursor>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <gtest/gtest.h>

#include <memory>

namespace tanvill::test {

// A small rounded icon of one colour, as the store's image host would send it.
inline QByteArray iconPng(int seed)
{
    QImage image(120, 120, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, 120);
    const QColor base = QColor::fromHsv((seed * 47) % 360, 150, 230);
    fill.setColorAt(0, base.lighter(120));
    fill.setColorAt(1, base.darker(130));
    painter.setBrush(fill);
    painter.setPen(Qt::NoPen);
    painter.drawRect(image.rect());
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawEllipse(QPointF(60, 60), 26, 26);
    painter.end();
    return pngOf(image);
}

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowTest()
    {
        transitions::setInstant(true);
        TableView::setInstantAnimationsByDefault(true);
        // The pointer stays off the window (the header shows buttons under it) until a test
        // moves it there.
        QCursor::setPos(-200, -200);
        lists().createList(QStringLiteral("Games"));
        lists().createList(QStringLiteral("Tools"));
        settings().setValue(QStringLiteral("selectedList"), 0);
    }
    ~MainWindowTest() override
    {
        transitions::setInstant(false);
        TableView::setInstantAnimationsByDefault(false);
    }

    ListsController &lists() { return services.listsController(); }
    UserDefaults &settings() { return services.settings(); }
    List *list(int index) { return lists().lists()[std::size_t(index)]; }

    MainWindowController &window()
    {
        if (!m_window) {
            m_window = std::make_unique<MainWindowController>(MainWindowServices {
                lists(), settings(), services.notificationCenter(), services.alertPresenter(),
                services.workspace(), detailWindows });
            m_window->resize(420, 640);
        }
        return *m_window;
    }
    MainViewController &main() { return *window().contentViewController(); }

    // A store result kept in `list` without asking the store.
    App *keep(const QString &identifier, const QString &name, List *into)
    {
        CachedApp app;
        app.identifier = identifier;
        app.name = name;
        app.developer = QStringLiteral("Maker");
        app.price = 0.99;
        app.currencyCode = QStringLiteral("USD");
        const QString icon = "/icons/" + identifier + ".png";
        fakeStore.server().setRoute(
            icon, FakeResponse::bytes(iconPng(identifier.right(2).toInt()), "image/png"));
        app.iconUrl = fakeStore.server().url(icon).toString();
        return lists().addApp({ app }, into).front();
    }

    // The reply to a search in one scope: the stored real reply, with icons on the fake store.
    FakeResponse searchReply(const QString &fixture)
    {
        QJsonObject reply = QJsonDocument::fromJson(FakeStore::fixture(fixture)).object();
        QJsonArray results = reply.value("results").toArray();
        for (qsizetype i = 0; i < results.size(); ++i) {
            QJsonObject result = results[i].toObject();
            const QString path
                = QStringLiteral("/icons/%1.png").arg(result.value("trackId").toInteger());
            fakeStore.server().setRoute(path, FakeResponse::bytes(iconPng(int(i)), "image/png"));
            result.insert("artworkUrl512", fakeStore.server().url(path).toString());
            results[i] = result;
        }
        reply.insert("results", results);
        return FakeResponse::json(QJsonDocument(reply).toJson(QJsonDocument::Compact));
    }

    // Answers the term in every scope: Mac with `macFixture` (none: no results).
    void setSearch(const QString &term, const QString &macFixture, const QString &phoneFixture = {})
    {
        const QString empty = QStringLiteral("search/mac-nonexistent.json");
        fakeStore.setSearch(term, "macSoftware",
                            searchReply(macFixture.isEmpty() ? empty : macFixture));
        fakeStore.setSearch(term, "software",
                            searchReply(phoneFixture.isEmpty() ? empty : phoneFixture));
        fakeStore.setSearch(term, "iPadSoftware", searchReply(empty));
    }

    // Writes the window as it looks now to <build>/test-output/windows/<name>.png.
    void render(QWidget &widget, const QString &name)
    {
        QCoreApplication::processEvents();
        const QImage image = widget.grab().toImage();
        ASSERT_FALSE(image.isNull());
        const QString path = QDir(testOutputDir(QStringLiteral("windows")))
                                 .filePath(name + QStringLiteral(".png"));
        ASSERT_TRUE(image.save(path)) << path.toStdString();
    }

    FakeStore fakeStore;
    TestServices services;
    RecordingAppShell shell;
    DetailWindowManager detailWindows { services.listsController(), services.settings() };

private:
    std::unique_ptr<MainWindowController> m_window;
};

} // namespace tanvill::test
