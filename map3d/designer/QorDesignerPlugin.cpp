// The design-tool plugin of the "QOR" palette page: a collection of widget entries.

#include "controls/KeyComboBox.h"
#include "controls/NumericEdit.h"
#include "controls/RegisterControlClasses.h"
#include "map3d/Qor3DMapDesignHost.h"
#include "map3d/designer/DesignerWidgetEntry.h"

#include <QObject>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <memory>
#include <vector>

namespace qor {

class TQorDesignerPlugin : public QObject, public QDesignerCustomWidgetCollectionInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
    Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)

public:
    explicit TQorDesignerPlugin(QObject* Parent = nullptr) : QObject(Parent) {
        RegisterMap3DClasses();
        RegisterControlClasses();
        Add("qor::TQor3DMap", "map3d/Qor3DMap.h", "3-D view of a calibration map",
            [](QWidget* Parent) { return new TQor3DMapDesignHost(Parent); });
        Add("qor::TNumericEdit", "controls/NumericEdit.h", "Numeric edit for keyboard entry",
            [](QWidget* Parent) { return new TDesignHost<TNumericEdit>(Parent, "NumericEdit1"); });
        Add("qor::TKeyComboBox", "controls/KeyComboBox.h", "Combo box for keyboard entry",
            [](QWidget* Parent) { return new TDesignHost<TKeyComboBox>(Parent, "KeyComboBox1"); });
    }

    QList<QDesignerCustomWidgetInterface*> customWidgets() const override {
        QList<QDesignerCustomWidgetInterface*> out;
        for (const auto& entry : FEntries)
            out.append(entry.get());
        return out;
    }

private:
    void Add(const char* ClassName, const char* IncludeFile, const char* ToolTip,
             TDesignerWidgetEntry::TFactory Factory) {
        FEntries.push_back(std::make_unique<TDesignerWidgetEntry>(
            QString::fromLatin1(ClassName), QString::fromLatin1(IncludeFile),
            QString::fromLatin1(ToolTip), std::move(Factory)));
    }

    std::vector<std::unique_ptr<TDesignerWidgetEntry>> FEntries;
};

} // namespace qor

#include "QorDesignerPlugin.moc"
