// Loads a form file, prints the components it holds with their stored properties, then
// reads the value of every number, vector and map through its connection.
//
//   qorformdump FILE
//
// The form may hold the framework's, the link's and the data classes.

#include "data/SerialData.h"
#include "framework/FormStreaming.h"
#include "framework/FormText.h"
#include "framework/SysUtils.h"
#include "link/QorConnection.h"

#include <exception>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

void PrintNode(const qor::TFormNode& Node, const std::string& Indent) {
    std::cout << Indent << (Node.Name.empty() ? "(unnamed)" : Node.Name) << ": " << Node.ClassName
              << "\n";
    for (const qor::TFormProperty& p : Node.Properties)
        std::cout << Indent << "  " << p.Name << " = " << qor::FormValueText(p.Value) << "\n";
    for (const qor::TFormNode& child : Node.Children)
        PrintNode(child, Indent + "  ");
}

void PrintComponent(const qor::TComponent& Component, const std::string& Indent) {
    std::cout << Indent << Component.Name() << ": " << Component.ClassName() << "\n";
    for (int i = 0; i < Component.ComponentCount(); ++i)
        PrintComponent(*Component.Components(i), Indent + "  ");
}

void PrintValues(qor::TComponent& Component) {
    using namespace qor;
    double v = 0;
    if (auto* number = dynamic_cast<TQorNumber*>(&Component)) {
        std::cout << "  " << number->Name() << " = ";
        if (number->TryReadUserValue(v))
            std::cout << FormatG(v) << " " << number->MeasureUnit() << "\n";
        else
            std::cout << "(not read)\n";
    } else if (auto* vector = dynamic_cast<TQorVector*>(&Component)) {
        std::cout << "  " << vector->Name() << " [" << vector->MeasureUnit() << "] =";
        for (int i = 0; i < vector->ArrayDimension(); ++i)
            std::cout << " " << (vector->GetElementValue(i, v) ? FormatG(v) : "?");
        std::cout << "\n";
    } else if (auto* map = dynamic_cast<TQorMatrix*>(&Component)) {
        std::cout << "  " << map->Name() << " " << map->RowCount() << " x " << map->ColCount()
                  << " [" << map->MeasureUnit() << "]:\n";
        for (int r = 0; r < map->RowCount(); ++r) {
            std::cout << "   ";
            for (int c = 0; c < map->ColCount(); ++c)
                std::cout << " " << (map->GetCellValue(r, c, v) ? FormatG(v) : "?");
            std::cout << "\n";
        }
    }
    for (int i = 0; i < Component.ComponentCount(); ++i)
        PrintValues(*Component.Components(i));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " FILE\n";
        return 2;
    }
    qor::RegisterLinkClasses();
    qor::RegisterDataClasses();
    try {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in)
            throw std::runtime_error(std::string("cannot open ") + argv[1]);
        std::stringstream text;
        text << in.rdbuf();

        std::cout << "Form file " << argv[1] << ":\n";
        PrintNode(qor::ParseFormText(text.str()), "  ");

        const auto root = qor::ReadComponentText(text.str());
        std::cout << "Loaded components (owner tree):\n";
        PrintComponent(*root, "  ");
        std::cout << "Values read through the connection:\n";
        PrintValues(*root);
    } catch (const std::exception& e) {
        std::cerr << argv[1] << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}
