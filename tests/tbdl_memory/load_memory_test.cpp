// Peak heap use of loading a large definition. Every allocation of this
// executable is counted (heap_counter).
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <string>

#include "heap_counter.h"
#include "install/resource_lookup.h"
#include "support/temp_dir.h"
#include "tbdl/loader.h"

namespace qv::tbdl {
namespace {

// A toolbar as definitions write them: buttons with menus and submenus,
// search combos with choices, web pages, indicators, separators, and the
// commands and settings they use.
std::string Block(int i) {
  std::string n = std::to_string(i);
  return "  BUTTON { name = \"home" + n + "\" caption = \"Home " + n +
         "\" image = \"0\" hint = \"Go to the start page\" command = \"open_home" + n +
         "\"\n    MENU { type = \"Split\"\n"
         "      MENUITEM { caption = \"Start page\" command = \"open_home\" image = \"0\" hint = "
         "\"Open the start page\" }\n"
         "      MENUITEM { caption = \"News\" command = \"open_news\" image = \"10\" }\n"
         "      MENUSEPARATOR\n"
         "      SUBMENU { caption = \"Tools\" image = \"11\"\n"
         "        MENUITEM { caption = \"Notepad\" command = \"run_notes\" hint = \"Start the "
         "editor\" }\n"
         "        MENUITEM { caption = \"Options...\" command = \"options\" image = \"9\" }\n"
         "      }\n    }\n  }\n"
         "  SEPARATOR\n"
         "  COMBO { name = \"q" +
         n +
         "\" type = \"droplist\" width = \"20\" maxchars = \"256\" maxhistlines = \"15\" hint = "
         "\"Type your search words\" command = \"web_search\"\n"
         "    COMBOVALUE { caption = \"Web\" value = \"web\" } COMBOVALUE { value = \"news\" }\n"
         "  }\n"
         "  WEBPAGE { name = \"weather" +
         n +
         "\" url = \"http://weather.example.com/box?d=%domain\" width = \"120\" autosize = \"1\" "
         "}\n"
         "  INDICATOR { name = \"mail" +
         n +
         "\" type = \"POP3\" caption = \"Mail\" addimg1 = \"2\" addimg2 = \"3\" addimg3 = \"4\" "
         "param2 = \"5\" }\n"
         "  COMMANDS {\n"
         "    GOTOURL { name = \"open_home" +
         n +
         "\" url = \"http://www.example.com/start\" }\n"
         "    GOTOURL { name = \"web_search\" url = \"http://search.example.com/?q=%q" +
         n +
         "\" newwindow = \"New\" }\n"
         "    SERVICECOMMAND { name = \"options\" type = \"Options\" caption = \"1\" }\n"
         "  }\n"
         "  SETTINGS { ITEMOPTIONS { id = \"q" +
         n +
         "\" toggle_visibility = \"1\" change_width = \"1\" width_from = \"5\" width_to = \"50\" "
         "description = \"Search box\" } PROPERTY { id = \"p" +
         n + "\" value = \"v\" } }\n";
}

TEST(LoadMemory, PeakHeapStaysWithinFiveTimesTheFileSize) {
  constexpr size_t kFileSize = 10 * 1024 * 1024;
  TempDir dir;
  size_t written = 0;
  {
    std::ofstream file(dir.File("quorvane.tbd"), std::ios::binary);
    std::string header = "TBW_Toolbar {\n";
    file << header;
    written += header.size();
    for (int i = 0; written < kFileSize; ++i) {
      std::string block = Block(i);
      file << block;
      written += block.size();
    }
    file << "}\n";
    written += 2;
  }
  std::ofstream(dir.File("tbil.bmp")) << "b";
  std::ofstream(dir.File("tbhotil.bmp")) << "b";

  LocalResourceLookup lookup(dir.path());
  std::unique_ptr<TBDLToolbar> model;
  size_t before = heap_counter::LiveBytes();
  heap_counter::ResetPeak();
  bool loaded = LoadToolbarDefinition(model, lookup);
  size_t peak = heap_counter::PeakBytes() - before;
  size_t kept = heap_counter::LiveBytes() - before;
  model.reset();

  ASSERT_TRUE(loaded);
  std::cout << "definition " << written << " bytes: peak " << peak << " bytes ("
            << double(peak) / written << "x), model " << kept << " bytes ("
            << double(kept) / written << "x)\n";
  EXPECT_LE(peak, 5 * written);
}

}  // namespace
}  // namespace qv::tbdl
