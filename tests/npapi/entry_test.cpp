// The module's exports and the instance calls, as a browser calls them.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "fvplatform/messages.h"
#include "np_fixture.h"

namespace {

using nptest::LoadedPlugin;

class OpenedModule : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host_->Open(nptest::PluginModule())); }
  nptest::Folders folders_;
  std::unique_ptr<simbrowser::NpHost> host_ = std::make_unique<simbrowser::NpHost>();
};

TEST_F(OpenedModule, EntryPointsFillTheTableAsFarAsItsSizeReaches) {
  EXPECT_EQ(host_->GetEntryPoints()(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);

  // One entry short of the instance calls: refused, nothing written.
  NPPluginFuncs small;
  std::memset(&small, 0xAB, sizeof small);
  small.size = static_cast<std::uint16_t>(offsetof(NPPluginFuncs, setvalue));
  EXPECT_EQ(host_->GetEntryPoints()(&small), NPERR_INVALID_FUNCTABLE_ERROR);
  EXPECT_EQ(small.version, 0xABAB);

  // Exactly the instance calls: filled, and the bytes past the table's end stay as they were.
  NPPluginFuncs exact;
  std::memset(&exact, 0xAB, sizeof exact);
  exact.size = static_cast<std::uint16_t>(offsetof(NPPluginFuncs, setvalue) + sizeof(void*));
  ASSERT_EQ(host_->GetEntryPoints()(&exact), NPERR_NO_ERROR);
  EXPECT_NE(exact.setvalue, nullptr);
  unsigned char past[sizeof(void*)];
  std::memcpy(past, &exact.gotfocus, sizeof past);
  for (unsigned char byte : past) EXPECT_EQ(byte, 0xAB);

  NPPluginFuncs full;
  std::memset(&full, 0xAB, sizeof full);
  full.size = sizeof full;
  ASSERT_EQ(host_->GetEntryPoints()(&full), NPERR_NO_ERROR);
  EXPECT_EQ(full.size, sizeof full);
  EXPECT_EQ(full.version, 27);
  const void* calls[] = {reinterpret_cast<void*>(full.newp),       reinterpret_cast<void*>(full.destroy),
                         reinterpret_cast<void*>(full.setwindow),  reinterpret_cast<void*>(full.newstream),
                         reinterpret_cast<void*>(full.destroystream), reinterpret_cast<void*>(full.asfile),
                         reinterpret_cast<void*>(full.writeready), reinterpret_cast<void*>(full.write),
                         reinterpret_cast<void*>(full.print),      reinterpret_cast<void*>(full.event),
                         reinterpret_cast<void*>(full.urlnotify),  reinterpret_cast<void*>(full.getvalue),
                         reinterpret_cast<void*>(full.setvalue)};
  for (const void* call : calls) EXPECT_NE(call, nullptr);
  EXPECT_EQ(full.javaClass, nullptr);
  EXPECT_EQ(full.gotfocus, nullptr);  // entries the plug-in does not offer are cleared
  EXPECT_EQ(full.didComposite, nullptr);
}

TEST_F(OpenedModule, InitializeChecksTheBrowserTable) {
  EXPECT_EQ(host_->Initialize()(nullptr, nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
  struct Case {
    std::uint16_t version;
    std::uint16_t size;
    NPError expected;
  };
  const std::uint16_t least =
      static_cast<std::uint16_t>(offsetof(NPNetscapeFuncs, releasevariantvalue) + sizeof(void*));
  const Case cases[] = {
      {0x0100, sizeof(NPNetscapeFuncs), NPERR_INCOMPATIBLE_VERSION_ERROR},
      {0x0200, sizeof(NPNetscapeFuncs), NPERR_INCOMPATIBLE_VERSION_ERROR},
      {0x00FF, sizeof(NPNetscapeFuncs), NPERR_NO_ERROR},
      {27, sizeof(NPNetscapeFuncs), NPERR_NO_ERROR},
      {27, least, NPERR_NO_ERROR},
      {27, static_cast<std::uint16_t>(least - sizeof(void*)), NPERR_INVALID_FUNCTABLE_ERROR},
      {27, 4, NPERR_INVALID_FUNCTABLE_ERROR},
  };
  for (const Case& c : cases) {
    NPNetscapeFuncs table = host_->BrowserTable();
    table.version = c.version;
    table.size = c.size;
    EXPECT_EQ(host_->Initialize()(&table, nullptr), c.expected) << c.version << " " << c.size;
  }
  EXPECT_EQ(host_->ShutdownExport()(), NPERR_NO_ERROR);
}

TEST_F(OpenedModule, UnixExportsAnswerTheTypeNameAndDescription) {
  ASSERT_NE(host_->GetMimeDescription(), nullptr);
  ASSERT_NE(host_->GetValue(), nullptr);
  EXPECT_STREQ(host_->GetMimeDescription()(),
               "application/sorvik-plugin:*:NPRuntime scriptability API test plugin");
  struct Case {
    NPPVariable variable;
    NPError expected;
    const char* text;
  };
  const Case cases[] = {
      {NPPVpluginNameString, NPERR_NO_ERROR, "NPRuntimeTest"},
      {NPPVpluginDescriptionString, NPERR_NO_ERROR, "NPRuntime scriptability API test plugin"},
      {NPPVpluginNeedsXEmbed, NPERR_GENERIC_ERROR, nullptr},  // an instance's question
      {NPPVpluginScriptableNPObject, NPERR_GENERIC_ERROR, nullptr},
  };
  for (const Case& c : cases) {
    const char* text = nullptr;
    EXPECT_EQ(host_->GetValue()(nullptr, c.variable, &text), c.expected) << c.variable;
    if (c.text != nullptr) {
      EXPECT_STREQ(text, c.text);
    } else {
      EXPECT_EQ(text, nullptr) << c.variable;
    }
  }
  EXPECT_EQ(host_->GetValue()(nullptr, NPPVpluginNameString, nullptr), NPERR_INVALID_PARAM);
}

TEST_F(OpenedModule, UnixInitializeFillsThePluginTableOnlyForAGoodBrowserTable) {
  const auto untouched = [](const NPPluginFuncs& table) {
    return table.version == 0xABAB && table.newp == nullptr;
  };
  NPPluginFuncs plugin;
  std::memset(&plugin, 0xAB, sizeof plugin);
  plugin.size = sizeof plugin;
  plugin.newp = nullptr;
  EXPECT_EQ(host_->Initialize()(nullptr, &plugin), NPERR_INVALID_FUNCTABLE_ERROR);
  EXPECT_TRUE(untouched(plugin));
  NPNetscapeFuncs browser = host_->BrowserTable();
  browser.version = 0x0100;
  EXPECT_EQ(host_->Initialize()(&browser, &plugin), NPERR_INCOMPATIBLE_VERSION_ERROR);
  EXPECT_TRUE(untouched(plugin));

  // A plug-in table one entry short of the instance calls.
  browser = host_->BrowserTable();
  NPPluginFuncs small = plugin;
  small.size = static_cast<std::uint16_t>(offsetof(NPPluginFuncs, setvalue));
  EXPECT_EQ(host_->Initialize()(&browser, &small), NPERR_INVALID_FUNCTABLE_ERROR);
  EXPECT_TRUE(untouched(small));

  ASSERT_EQ(host_->Initialize()(&browser, &plugin), NPERR_NO_ERROR);
  EXPECT_EQ(plugin.version, 27);
  EXPECT_EQ(plugin.size, sizeof plugin);
  EXPECT_NE(plugin.newp, nullptr);
  EXPECT_NE(plugin.getvalue, nullptr);
  EXPECT_NE(plugin.setvalue, nullptr);
  EXPECT_EQ(plugin.javaClass, nullptr);
  EXPECT_EQ(plugin.gotfocus, nullptr);
  EXPECT_EQ(host_->ShutdownExport()(), NPERR_NO_ERROR);
}

// A Unix browser's load: it reads the type, name and description, then makes an instance from
// the table NP_Initialize filled and scripts it.
TEST(UnixLoad, MakesAnInstanceThatAnswersScript) {
  nptest::Folders folders;
  simbrowser::NpHost host;
  ASSERT_EQ(host.Load(nptest::PluginModule(), simbrowser::LoadWay::kUnix), 0);
  EXPECT_EQ(host.MimeDescription(), "application/sorvik-plugin:*:NPRuntime scriptability API test plugin");
  EXPECT_EQ(host.PluginName(), "NPRuntimeTest");
  EXPECT_EQ(host.PluginDescription(), "NPRuntime scriptability API test plugin");
  EXPECT_EQ(host.PluginTable().version, 27);
  const int page = host.NewPage();
  ASSERT_GE(page, 0);
  ASSERT_NE(host.Scriptable(page), nullptr);
  EXPECT_EQ(host.CallText(page, "ORVEK_GetVersion"), "V014R031C0001B01");
  EXPECT_EQ(host.DestroyPage(page), NPERR_NO_ERROR);
  EXPECT_EQ(host.Shutdown(), NPERR_NO_ERROR);
  const std::string log = folders.LogText();
  for (const char* line : {"NP_GetMIMEDescription", "NP_GetValue", "NP_Initialize", "NPP_New"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(log.find("NP_GetEntryPoints"), std::string::npos);
}

class Instance : public LoadedPlugin {
 protected:
  void SetUp() override {
    LoadedPlugin::SetUp();
    page_ = host_->NewPage();
    ASSERT_GE(page_, 0);
  }
  const NPPluginFuncs& calls() { return host_->PluginTable(); }
  int page_ = -1;
};

TEST_F(Instance, CallsWithoutAnInstanceAreRefused) {
  const NPPluginFuncs& f = calls();
  host_->RunOnUi([&] {
    EXPECT_EQ(f.newp(nullptr, nullptr, 1, 0, nullptr, nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(f.destroy(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(f.setwindow(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(f.newstream(nullptr, nullptr, nullptr, 0, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(f.destroystream(nullptr, nullptr, 0), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(f.writeready(nullptr, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(f.write(nullptr, nullptr, 0, 10, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(f.getvalue(nullptr, NPPVpluginNameString, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(f.setvalue(nullptr, NPNVWindowNPObject, nullptr), NPERR_INVALID_INSTANCE_ERROR);
    EXPECT_EQ(f.event(nullptr, nullptr), 0);
  });
}

TEST_F(Instance, AnInstanceWithoutItsPluginObject) {
  const NPPluginFuncs& f = calls();
  HWND window = host_->PluginWindow(page_);
  host_->RunOnUi([&] {
    NPP_t bare{};  // NPP_New never ran for it
    NPWindow other{};
    other.window = window;
    EXPECT_EQ(f.setwindow(&bare, &other), NPERR_NO_ERROR);
    EXPECT_EQ(f.destroy(&bare, nullptr), NPERR_NO_ERROR);
  });
  const std::string log = folders_.LogText();
  EXPECT_NE(log.find("]pPlugin == NULL\n"), std::string::npos);
  EXPECT_NE(log.find("]NPP_Destroy pPlugin == NULL\n"), std::string::npos);
}

TEST_F(Instance, StreamsAreTakenAndIgnored) {
  const NPPluginFuncs& f = calls();
  NPP npp = host_->Instance(page_);
  host_->RunOnUi([&] {
    char data[1234] = {};
    EXPECT_EQ(f.newstream(npp, nullptr, nullptr, 0, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(f.writeready(npp, nullptr), 0x0FFFFFFF);
    EXPECT_EQ(f.write(npp, nullptr, 0, 1234, data), 1234);
    EXPECT_EQ(f.destroystream(npp, nullptr, 0), NPERR_NO_ERROR);
    EXPECT_EQ(f.setvalue(npp, NPNVWindowNPObject, nullptr), NPERR_NO_ERROR);
    EXPECT_EQ(f.event(npp, data), 0);
  });
}

TEST_F(Instance, ValuesTheBrowserAsksFor) {
  const NPPluginFuncs& f = calls();
  NPP npp = host_->Instance(page_);
  host_->RunOnUi([&] {
    const char* text = nullptr;
    ASSERT_EQ(f.getvalue(npp, NPPVpluginNameString, &text), NPERR_NO_ERROR);
    EXPECT_STREQ(text, "NPRuntimeTest");
    ASSERT_EQ(f.getvalue(npp, NPPVpluginDescriptionString, &text), NPERR_NO_ERROR);
    EXPECT_STREQ(text, "NPRuntime scriptability API test plugin");
    unsigned char flag[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    ASSERT_EQ(f.getvalue(npp, NPPVpluginNeedsXEmbed, flag), NPERR_NO_ERROR);
    EXPECT_EQ(flag[0], 1);
    EXPECT_EQ(flag[1], 0xAA);  // one byte only
    EXPECT_EQ(f.getvalue(npp, NPPVpluginWindowBool, &text), NPERR_GENERIC_ERROR);
    EXPECT_EQ(f.getvalue(npp, NPPVpluginNameString, nullptr), NPERR_INVALID_PARAM);
    NPP_t stranger{};  // an instance the plug-in never made
    EXPECT_EQ(f.getvalue(&stranger, NPPVpluginNameString, &text), NPERR_GENERIC_ERROR);
  });
}

TEST_F(Instance, TheScriptableObjectIsOneObjectRetainedForEachRequest) {
  const NPPluginFuncs& f = calls();
  NPP npp = host_->Instance(page_);
  host_->RunOnUi([&] {
    NPObject* first = nullptr;
    NPObject* second = nullptr;
    ASSERT_EQ(f.getvalue(npp, NPPVpluginScriptableNPObject, &first), NPERR_NO_ERROR);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->referenceCount, 2u);  // the instance's and the caller's
    EXPECT_EQ(first->_class->structVersion, 3u);
    ASSERT_EQ(f.getvalue(npp, NPPVpluginScriptableNPObject, &second), NPERR_NO_ERROR);
    EXPECT_EQ(second, first);
    EXPECT_EQ(first->referenceCount, 3u);
    host_->BrowserTable().releaseobject(first);
    host_->BrowserTable().releaseobject(second);
  });
  EXPECT_EQ(host_->LivePluginObjects(), 1);
  ASSERT_EQ(host_->DestroyPage(page_), NPERR_NO_ERROR);
  EXPECT_EQ(host_->LivePluginObjects(), 0);
}

TEST_F(Instance, SetWindowSubclassesOnceAndTakesNoWindow) {
  const NPPluginFuncs& f = calls();
  NPP npp = host_->Instance(page_);
  HWND window = host_->PluginWindow(page_);
  const LONG_PTR browserProc = reinterpret_cast<LONG_PTR>(&simbrowser::NpHost::PageWindowProc);
  host_->RunOnUi([&] {
    const LONG_PTR pluginProc = GetWindowLongPtrA(window, GWLP_WNDPROC);
    EXPECT_NE(pluginProc, browserProc);  // subclassed by the page's first NPP_SetWindow
    EXPECT_EQ(f.setwindow(npp, nullptr), NPERR_NO_ERROR);
    NPWindow none{};
    EXPECT_EQ(f.setwindow(npp, &none), NPERR_NO_ERROR);
    NPWindow same{};
    same.window = window;
    EXPECT_EQ(f.setwindow(npp, &same), NPERR_NO_ERROR);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), pluginProc);
  });
  const std::string log = folders_.LogText();
  EXPECT_NE(log.find("]pPlugin->init()\n"), std::string::npos);
  EXPECT_NE(log.find("]no !pPlugin->isInitialized() && pNPWindow->window\n"), std::string::npos);
}

TEST_F(Instance, TheWindowChainsToItsOwnProcedureAndGetsItBackOnDestroy) {
  HWND window = host_->PluginWindow(page_);
  constexpr UINT kBrowserMessage = WM_USER + 77;
  host_->RunOnUi([&] {
    SendMessageA(window, kBrowserMessage, 0, 0);
    NPVariant values[2];
    values[0].type = NPVariantType_Int32;
    values[0].value.intValue = 1;
    values[1].type = NPVariantType_String;
    values[1].value.stringValue = {"x", 1};
    SendMessageA(window, 0x41E, 0, reinterpret_cast<LPARAM>(values));  // the plug-in's own
  });
  const auto seen = host_->WindowMessages(page_);
  EXPECT_NE(std::find(seen.begin(), seen.end(), kBrowserMessage), seen.end());
  EXPECT_EQ(std::find(seen.begin(), seen.end(), 0x41Eu), seen.end());
  EXPECT_TRUE(host_->PageCalls(page_).empty());  // no receiver named: nobody is called

  // Destroyed without a browser window teardown: the procedure goes back to the browser's.
  LONG_PTR procAfter = 0;
  host_->RunOnUi([&] {
    host_->PluginTable().destroy(host_->Instance(page_), nullptr);
    procAfter = GetWindowLongPtrA(window, GWLP_WNDPROC);
  });
  EXPECT_EQ(procAfter, reinterpret_cast<LONG_PTR>(&simbrowser::NpHost::PageWindowProc));
}

TEST_F(Instance, EveryCallWritesItsNameToTheLog) {
  host_->CallInt(page_, "ORVEK_GetVeinModelStatus");
  ASSERT_EQ(host_->DestroyPage(page_), NPERR_NO_ERROR);
  ASSERT_EQ(host_->Shutdown(), NPERR_NO_ERROR);
  const std::string log = folders_.LogText();
  std::size_t at = 0;
  for (const char* line : {"NP_GetEntryPoints", "NP_Initialize", "NPP_New", "CPlugin",
                           "NPP_New pPlugin != NULL", "NPP_SetWindow",
                           "NPP_SetWindow instance != NULL", "pPlugin->init()", "NPP_GetValue",
                           "ScriptablePluginObject", "Invoke", "NPP_Destroy",
                           "NPP_Destroy pPlugin != NULL", "CPlugin shut", "~CPlugin",
                           "NP_Shutdown"}) {
    const std::string wanted = std::string("]") + line + "\n";
    const std::size_t found = log.find(wanted, at);
    ASSERT_NE(found, std::string::npos) << line << "\n" << log;
    at = found + wanted.size();
  }
  EXPECT_EQ(log.rfind("[", 0), 0u);
  EXPECT_EQ(log.find("]["), std::string::npos);  // "[time]text", no program name
}

}  // namespace
