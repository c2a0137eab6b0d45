#pragma once
// One widget of the design-tool palette page "QOR": its class name, include file, tool
// tip and a factory for the design-time widget. The plugin collection holds one entry per
// control; a new control joins with one more entry.

#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <functional>

namespace qor {

inline constexpr const char* DesignerGroup = "QOR";

class TDesignerWidgetEntry : public QDesignerCustomWidgetInterface {
public:
    using TFactory = std::function<QWidget*(QWidget* Parent)>;

    TDesignerWidgetEntry(QString ClassName, QString IncludeFile, QString ToolTip, TFactory Factory)
        : FClassName(std::move(ClassName)), FIncludeFile(std::move(IncludeFile)),
          FToolTip(std::move(ToolTip)), FFactory(std::move(Factory)) {}

    QString name() const override { return FClassName; }
    QString group() const override { return QString::fromLatin1(DesignerGroup); }
    QString toolTip() const override { return FToolTip; }
    QString whatsThis() const override { return FToolTip; }
    QString includeFile() const override { return FIncludeFile; }
    QIcon icon() const override { return {}; }
    bool isContainer() const override { return false; }
    QWidget* createWidget(QWidget* Parent) override { return FFactory(Parent); }
    bool isInitialized() const override { return FInitialized; }
    void initialize(QDesignerFormEditorInterface*) override { FInitialized = true; }
    QString domXml() const override {
        return QStringLiteral("<ui language=\"c++\"><widget class=\"%1\" name=\"%2\"/></ui>")
            .arg(FClassName, FClassName.section(QLatin1String("::"), -1).mid(1));
    }

private:
    QString FClassName, FIncludeFile, FToolTip;
    TFactory FFactory;
    bool FInitialized = false;
};

} // namespace qor
