// The design-tool plugin, loaded as a design tool loads it: its collection holds the view
// on the "QOR" page, and the widget it creates is a view in design mode.

#include "map3d/Qor3DMapDesignHost.h"

#include <QPluginLoader>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <gtest/gtest.h>
#include <memory>

namespace qor {
namespace {

TEST(DesignerPlugin, OffersTheViewOnTheQorPage) {
    QPluginLoader loader(QStringLiteral(QOR_DESIGNER_PLUGIN));
    QObject* instance = loader.instance();
    ASSERT_NE(instance, nullptr) << loader.errorString().toStdString();
    auto* collection = qobject_cast<QDesignerCustomWidgetCollectionInterface*>(instance);
    ASSERT_NE(collection, nullptr);

    QDesignerCustomWidgetInterface* entry = nullptr;
    for (QDesignerCustomWidgetInterface* w : collection->customWidgets())
        if (w->name() == QLatin1String("qor::TQor3DMap"))
            entry = w;
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->group(), QLatin1String("QOR"));
    EXPECT_EQ(entry->includeFile(), QLatin1String("map3d/Qor3DMap.h"));
    EXPECT_FALSE(entry->isContainer());
    EXPECT_TRUE(entry->domXml().contains(QLatin1String("class=\"qor::TQor3DMap\"")));

    QWidget parent;
    std::unique_ptr<QWidget> widget(entry->createWidget(&parent));
    ASSERT_NE(widget, nullptr);
    auto* host = dynamic_cast<TQor3DMapDesignHost*>(widget.get());
    ASSERT_NE(host, nullptr) << "the plugin made another kind of widget";
    TQor3DMap& view = host->View();
    RegisterMap3DClasses(); // this program's class registry, not the plugin's
    EXPECT_EQ(view.ClassName(), "TQor3DMap");
    EXPECT_TRUE(view.ComponentState().Contains(csDesigning));
    EXPECT_EQ(view.Widget()->parentWidget(), host);
    // Shown in the design tool: no context and no frame work.
    parent.show();
    widget->show();
    EXPECT_FALSE(view.ContextReady());
    EXPECT_TRUE(view.Picture().Pixels.empty());
    widget.reset(); // the host takes its view along
}

} // namespace
} // namespace qor
