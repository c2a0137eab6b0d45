// Loads a form file and prints the components it holds with their stored properties.
//
//   qorformdump FILE
//
// Every class named in the file must be registered; this program knows the framework's
// own classes.

#include "framework/FormStreaming.h"
#include "framework/FormText.h"

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

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " FILE\n";
        return 2;
    }
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
        std::cout << "Written back:\n" << qor::WriteComponentText(*root);
    } catch (const std::exception& e) {
        std::cerr << argv[1] << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}
