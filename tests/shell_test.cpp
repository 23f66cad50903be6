// The real main window under Wine, driven by its menu commands. A watcher
// thread reads every dialog and message box the UI thread opens and answers
// it with the next scripted action.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "document/app_state.h"
#include "document/bmp_reader.h"
#include "resources/resource.h"
#include "shell/shell.h"
#include "tests/bmp_files.h"

namespace {

struct SeenDialog {
  std::wstring caption;
  std::wstring text;
  std::wstring field;  // the settings dialog's edit field
};

using Answer = std::function<void(HWND)>;

std::mutex watchLock;
std::deque<Answer> answers;
std::vector<SeenDialog> seen;
std::atomic<bool> watching{false};
DWORD uiThread = 0;

std::wstring TextOf(HWND window) {
  wchar_t buffer[512] = L"";
  if (window) GetWindowTextW(window, buffer, 512);
  return buffer;
}

// The dialog waiting for an answer: a message box over a dialog disables
// its owner, so the enabled one is on top, whatever order the windows are
// listed in.
BOOL CALLBACK FindDialog(HWND window, LPARAM result) {
  wchar_t className[32] = L"";
  GetClassNameW(window, className, 32);
  if (IsWindowVisible(window) && IsWindowEnabled(window) && std::wstring(className) == L"#32770") {
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
  }
  return TRUE;
}

void Watch() {
  HWND last = nullptr;
  auto since = std::chrono::steady_clock::now();
  while (watching) {
    HWND dialog = nullptr;
    EnumThreadWindows(uiThread, FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog && dialog != last) {
      last = dialog;
      since = std::chrono::steady_clock::now();
      Answer answer;
      {
        std::lock_guard<std::mutex> hold(watchLock);
        seen.push_back({TextOf(dialog), TextOf(GetDlgItem(dialog, 0xFFFF)),
                        TextOf(GetDlgItem(dialog, IDC_EPSILON))});
        if (!answers.empty()) {
          answer = answers.front();
          answers.pop_front();
        }
      }
      if (answer) {
        answer(dialog);
      } else {
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
      }
    } else if (dialog && std::chrono::steady_clock::now() - since > std::chrono::seconds(3)) {
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);  // a stuck dialog fails the test, not hangs
      since = std::chrono::steady_clock::now();
    } else if (!dialog) {
      last = nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

Answer Press(int id) {
  return [id](HWND dialog) { PostMessageW(dialog, WM_COMMAND, id, 0); };
}

Answer Type(const char* text, int id = IDOK) {
  return [text, id](HWND dialog) {
    SetDlgItemTextA(dialog, IDC_EPSILON, text);
    PostMessageW(dialog, WM_COMMAND, id, 0);
  };
}

class ShellTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterMainWindowClass(GetModuleHandleA(nullptr)); }

  void SetUp() override {
    ResetDocument();
    seen.clear();
    answers.clear();
    uiThread = GetCurrentThreadId();
    window = CreateMainWindow(GetModuleHandleA(nullptr));
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    watching = true;
    watcher = std::thread(Watch);
  }

  void TearDown() override {
    watching = false;
    watcher.join();
    SendMessageA(window, WM_CLOSE, 0, 0);
    DestroyWindow(window);
    MSG message;  // a stale quit request would end the next test's modal loops
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    ResetDocument();
  }

  void Command(WORD id, std::initializer_list<Answer> script = {}) {
    {
      std::lock_guard<std::mutex> hold(watchLock);
      answers.insert(answers.end(), script.begin(), script.end());
    }
    SendMessageA(window, WM_COMMAND, id, 0);
  }

  std::wstring Status() {
    wchar_t buffer[256] = L"";
    SendMessageW(static_cast<HWND>(app.statusBar), SB_GETTEXTW, 0,
                 reinterpret_cast<LPARAM>(buffer));
    return buffer;
  }

  // Writes the picture to a file of its own and loads it for the window.
  int Load(const Bytes& file, const std::string& name) {
    const std::string path = TempPath(name);
    WriteBytes(path, file);
    return LoadBmp(path.c_str(), window);
  }

  UINT CheckState() { return GetMenuState(GetMenu(window), IDM_TOGGLE_LINES, MF_BYCOMMAND); }

  HWND window = nullptr;
  std::thread watcher;
};

TEST_F(ShellTest, StartsWithAWhitePictureAndReadyStatus) {
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right - client.left, 640);
  EXPECT_EQ(client.bottom - client.top, 498);
  EXPECT_EQ(Status(), L"Gotów!");
  wchar_t title[64];
  GetWindowTextW(window, title, 64);
  EXPECT_STREQ(title, L"Kwindra v0.1b");
  wchar_t item[64];
  GetMenuStringW(GetMenu(window), IDM_TOGGLE_LINES, item, 64, MF_BYCOMMAND);
  EXPECT_STREQ(item, L"Połącz liniami");
}

TEST_F(ShellTest, AboutReportsTheCounts) {
  Command(IDM_ABOUT);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, L"Informacja");
  EXPECT_NE(seen[0].text.find(L"Kwindra v0.1b - BRELT\n\nautorzy:\n  "), std::wstring::npos);
  EXPECT_NE(seen[0].text.find(L"\n\n\n\nPiksle w linii: 0\nPunkty krytyczne: 0"),
            std::wstring::npos);
}

TEST_F(ShellTest, LoadComputeAndAboutOnAnEightPixelLine) {
  std::vector<std::pair<int, int>> line;
  for (int x = 3; x < 11; ++x) line.push_back({x, 4});
  ASSERT_EQ(Load(MakeLinePicture(300, 10, line), "line.bmp"), 1);
  FitWindowToImage(window);
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 28);
  Command(IDM_COMPUTE);
  EXPECT_EQ(Status(), L"Gotów!");
  Command(IDM_ABOUT);
  ASSERT_EQ(seen.size(), 1u);  // the run itself had nothing to report
  EXPECT_NE(seen[0].text.find(L"Piksle w linii: 7\nPunkty krytyczne: 2"), std::wstring::npos);
}

TEST_F(ShellTest, PalettePictureIsRefusedAndTheWindowStaysUsable) {
  BmpLayout layout;
  layout.width = 8;
  layout.height = 8;
  layout.bitCount = 8;
  EXPECT_EQ(Load(MakeBmp(layout, [](int, int) { return Rgb{0, 0, 0}; }), "palette.bmp"), 0);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, L"Uwaga!");
  EXPECT_EQ(seen[0].text, L"Niestety możemy pobawić się tylko obrazkami w 24 bitowym kolorze");
  EXPECT_EQ(app.imageWidth, 640);
}

TEST_F(ShellTest, NothingToSaveBeforeALoad) {
  Command(IDM_SAVE);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, L"");
  EXPECT_EQ(seen[0].text, L"Nie ma co nagrywać!");
  EXPECT_EQ(Status(), L"Zapisywanie wyświetlanego obrazka...");
}

TEST_F(ShellTest, TogglingTwiceRestoresTheCheckMark) {
  EXPECT_EQ(CheckState() & MF_CHECKED, 0u);
  Command(IDM_TOGGLE_LINES);
  EXPECT_EQ(CheckState() & MF_CHECKED, static_cast<UINT>(MF_CHECKED));
  EXPECT_EQ(app.showLines, 1);
  Command(IDM_TOGGLE_LINES);
  EXPECT_EQ(CheckState() & MF_CHECKED, 0u);
  EXPECT_EQ(app.showLines, 0);
}

TEST_F(ShellTest, PreferencesEditEpsilonInThousandths) {
  Command(IDM_PREFERENCES, {Type("250")});
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, L"Preferencje");
  EXPECT_EQ(seen[0].field, L"1000");
  EXPECT_EQ(app.epsilon, 0.25);
  Command(IDM_PREFERENCES, {Type("4007")});
  Command(IDM_PREFERENCES, {Press(IDOK)});
  EXPECT_EQ(seen.back().field, L"4006");
  EXPECT_EQ(app.epsilon, 4.006);
  EXPECT_EQ(Status(), L"Gotów!");
}

TEST_F(ShellTest, PreferencesRefuseWhatIsNotPositiveAndCancelKeeps) {
  for (const char* value : {"0", "", "2147483648", "4294967295"}) {
    SCOPED_TRACE(value);
    seen.clear();
    Command(IDM_PREFERENCES, {Type(value), Press(IDOK), Press(IDCANCEL)});
    ASSERT_EQ(seen.size(), 3u);  // the dialog, the message, the dialog again
    EXPECT_EQ(seen[1].caption, L"Uwaga");
    EXPECT_EQ(seen[1].text, L"Epsylon musi być dodatnie");
    EXPECT_EQ(app.epsilon, 1.0);
  }
  Command(IDM_PREFERENCES, {Type("5", IDCANCEL)});
  EXPECT_EQ(app.epsilon, 1.0);
}

}  // namespace

namespace {

COLORREF WindowPixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  const COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

TEST_F(ShellTest, ViewStretchesThePictureAndTheOverlayTogether) {
  std::vector<std::pair<int, int>> line;
  for (int x = 3; x <= 150; ++x) line.push_back({x, 30});
  ASSERT_EQ(Load(MakeLinePicture(200, 50, line), "wide.bmp"), 1);
  FitWindowToImage(window);
  // Twice as wide as the picture.
  RECT frame;
  GetWindowRect(window, &frame);
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + 200, frame.bottom - frame.top,
               SWP_NOMOVE);
  ASSERT_EQ(app.clientWidth, 400);
  ASSERT_EQ(app.clientHeight - STATUS_BAR_HEIGHT, 50);
  UpdateWindow(window);
  EXPECT_EQ(WindowPixel(window, 200, 30), RGB(0, 255, 0));
  EXPECT_EQ(WindowPixel(window, 200, 20), RGB(0, 0, 0));

  app.criticalPoints[0] = {3, 30};
  app.criticalPoints[1] = {150, 30};
  app.criticalCount = 2;
  Command(IDM_TOGGLE_LINES);
  UpdateWindow(window);
  EXPECT_EQ(WindowPixel(window, 6, 30), RGB(0, 0, 255));    // (3, 30) scaled
  EXPECT_EQ(WindowPixel(window, 300, 30), RGB(0, 0, 255));  // (150, 30) scaled
  EXPECT_EQ(WindowPixel(window, 200, 30), RGB(255, 0, 0));  // on the segment
  EXPECT_EQ(WindowPixel(window, 350, 30), RGB(0, 0, 0));    // past its end
}

TEST_F(ShellTest, CloseAndExitRequestQuitWithZero) {
  for (bool close : {true, false}) {
    SCOPED_TRACE(close);
    if (close) {
      ASSERT_EQ(Load(MakeLinePicture(4, 4, {{1, 1}}), "close.bmp"), 1);
      SendMessageA(window, WM_CLOSE, 0, 0);
      EXPECT_EQ(app.fileImage, nullptr);
      EXPECT_EQ(app.grayRaster, nullptr);
    } else {
      Command(IDM_EXIT);
    }
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
  }
}

}  // namespace

namespace {

Answer PressEscape() {
  return [](HWND dialog) {
    HWND field = GetDlgItem(dialog, IDC_EPSILON);
    PostMessageW(field, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(field, WM_KEYUP, VK_ESCAPE, 0);
  };
}

TEST_F(ShellTest, EscapeLeavesEpsilonAlone) {
  Command(IDM_PREFERENCES, {[](HWND dialog) {
            SetDlgItemTextA(dialog, IDC_EPSILON, "77");
            PressEscape()(dialog);
          }});
  EXPECT_EQ(app.epsilon, 1.0);
  EXPECT_EQ(Status(), L"Gotów!");
}

TEST_F(ShellTest, CancelledOpenChooserKeepsTheStatusText) {
  Command(IDM_LOAD, {Press(IDCANCEL)});
  EXPECT_EQ(Status(), L"Wczytywanie obrazka...");
  EXPECT_EQ(app.imageWidth, 640);
  ASSERT_EQ(seen.size(), 1u);  // the chooser only: a cancel is no failure
}

}  // namespace
