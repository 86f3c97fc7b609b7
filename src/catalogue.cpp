#include "catalogue.hpp"

#include "LARKLIB8.h"
#include "frame/bare_class.hpp"
#include "text/CCommandLine.hpp"
#include "text/CDataStructures3.hpp"
#include "text/CServicesInputOutput.hpp"
#include "files/CProcess.hpp"
#include "files/CServicesFileIO2.hpp"
#include "files/CServicesFileInfo2.hpp"
#include "files/CServicesFileNames2.hpp"
#include "files/CServicesFileTemporary2.hpp"
#include "files/CServicesFileUtilities2.hpp"
#include "files/ShellFolders.hpp"
#include "registry/CRegistry2.hpp"
#include "sysinfo/CDeploy2.hpp"
#include "sysinfo/CVersion.hpp"
#include "ui/CBrowseForFolder2.hpp"
#include "ui/CCommonDialog2.hpp"
#include "ui/CEmailMessage.hpp"
#include "ui/CHTMLHelp.hpp"
#include "ui/CWindowManager.hpp"
#include "ui/IObjectSubclass.hpp"
#include "xml/CXMLFile.hpp"

namespace lark::com {

namespace {
template <class T>
HRESULT createObject(REFIID iid, void** out) {
    return T::template create<T>(iid, out);
}

const ClassEntry kClasses[] = {
    {L"CBrowseForFolder2", &CLSID_CBrowseForFolder2, &IID__CBrowseForFolder2,
     &createObject<ui::CBrowseForFolder2>},
    {L"CCommandLine", &CLSID_CCommandLine, &IID__CCommandLine, &createObject<text::CCommandLine>},
    {L"CEmailMessage", &CLSID_CEmailMessage, &IID__CEmailMessage, &createObject<ui::CEmailMessage>},
    {L"CHTMLHelp", &CLSID_CHTMLHelp, &IID__CHTMLHelp, &createObject<ui::CHTMLHelp>},
    {L"CServicesFileInfo2", &CLSID_CServicesFileInfo2, &IID__CServicesFileInfo2,
     &createObject<files::CServicesFileInfo2>},
    {L"CServicesFileIO2", &CLSID_CServicesFileIO2, &IID__CServicesFileIO2,
     &createObject<files::CServicesFileIO2>},
    {L"CServicesFileNames2", &CLSID_CServicesFileNames2, &IID__CServicesFileNames2,
     &createObject<files::CServicesFileNames2>},
    {L"CServicesFileTemporary2", &CLSID_CServicesFileTemporary2, &IID__CServicesFileTemporary2,
     &createObject<files::CServicesFileTemporary2>},
    {L"CServicesFileUtilities2", &CLSID_CServicesFileUtilities2, &IID__CServicesFileUtilities2,
     &createObject<files::CServicesFileUtilities2>},
    {L"CServicesSpecialFolders2", &CLSID_CServicesSpecialFolders2, &IID__CServicesSpecialFolders2,
     &createObject<files::CServicesSpecialFolders2>},
    {L"CVersion", &CLSID_CVersion, &IID__CVersion, &createObject<sysinfo::CVersion>},
    {L"IObjectSubclass", &CLSID_IObjectSubclass, &IID__IObjectSubclass, nullptr},
    {L"CCommonDialog2", &CLSID_CCommonDialog2, &IID__CCommonDialog2, &createObject<ui::CCommonDialog2>},
    {L"CXMLFile", &CLSID_CXMLFile, &IID__CXMLFile, &createObject<xml::CXMLFile>},
    {L"CXMLElement", &CLSID_CXMLElement, &IID__CXMLElement, nullptr},
    {L"CServicesInputOutput", &CLSID_CServicesInputOutput, &IID__CServicesInputOutput,
     &createObject<text::CServicesInputOutput>},
    {L"CRegistry2", &CLSID_CRegistry2, &IID__CRegistry2, &createObject<registry::CRegistry2>},
    {L"CWindowManager", &CLSID_CWindowManager, &IID__CWindowManager, &createObject<ui::CWindowManager>},
    {L"CDeploy2", &CLSID_CDeploy2, &IID__CDeploy2, &createObject<sysinfo::CDeploy2>},
    {L"CDataStructures3", &CLSID_CDataStructures3, &IID__CDataStructures3,
     &createObject<text::CDataStructures3>},
    {L"CProcess", &CLSID_CProcess, &IID__CProcess, &createObject<files::CProcess>},
};
}  // namespace

std::span<const ClassEntry> catalogue() { return kClasses; }

}  // namespace lark::com
