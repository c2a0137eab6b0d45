// The design-tool plugin, loaded as a design tool loads it: its collection holds the view
// and the two edit controls on the "QOR" page, and each widget it creates holds its control
// in design mode.

#include "controls/KeyComboBox.h"
#include "controls/NumericEdit.h"
#include "controls/RegisterControlClasses.h"
#include "map3d/Qor3DMapDesignHost.h"

#include <QPluginLoader>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <gtest/gtest.h>
#include <memory>

namespace qor {
namespace {

QDesignerCustomWidgetCollectionInterface* LoadCollection() {
    static QPluginLoader loader(QStringLiteral(QOR_DESIGNER_PLUGIN));
    QObject* instance = loader.instance();
    EXPECT_NE(instance, nullptr) << loader.errorString().toStdString();
    return qobject_cast<QDesignerCustomWidgetCollectionInterface*>(instance);
}

QDesignerCustomWidgetInterface* EntryNamed(const char* Name) {
    QDesignerCustomWidgetCollectionInterface* collection = LoadCollection();
    if (!collection)
        return nullptr;
    for (QDesignerCustomWidgetInterface* w : collection->customWidgets())
        if (w->name() == QLatin1String(Name))
            return w;
    return nullptr;
}

TEST(DesignerPlugin, OffersTheViewOnTheQorPage) {
    QDesignerCustomWidgetInterface* entry = EntryNamed("qor::TQor3DMap");
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

template <class T>
void ExpectControlEntry(const char* Name, const char* Include, const char* Class) {
    SCOPED_TRACE(Name);
    QDesignerCustomWidgetInterface* entry = EntryNamed(Name);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->group(), QLatin1String("QOR"));
    EXPECT_EQ(entry->includeFile(), QLatin1String(Include));
    QWidget parent;
    std::unique_ptr<QWidget> widget(entry->createWidget(&parent));
    auto* host = dynamic_cast<TDesignHost<T>*>(widget.get());
    ASSERT_NE(host, nullptr) << "the plugin made another kind of widget";
    RegisterControlClasses();
    EXPECT_EQ(host->Control().ClassName(), Class);
    EXPECT_TRUE(host->Control().ComponentState().Contains(csDesigning));
    EXPECT_EQ(host->Control().Widget()->parentWidget(), host);
}

TEST(DesignerPlugin, OffersTheEditControlsOnTheQorPage) {
    ExpectControlEntry<TNumericEdit>("qor::TNumericEdit", "controls/NumericEdit.h", "TNumericEdit");
    ExpectControlEntry<TKeyComboBox>("qor::TKeyComboBox", "controls/KeyComboBox.h", "TKeyComboBox");
}

} // namespace
} // namespace qor
