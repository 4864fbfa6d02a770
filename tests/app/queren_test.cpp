// The yes/no box: answered both ways, and self-confirming for the prompts tagged with a standard code.
#include "app/queren.h"
#include "fixture.h"

using namespace apptest;

namespace {

class QuerenTest : public AppTest {};

// Runs one question; `script` acts on the open box each time the modal loop is idle.
int runQuestion(const std::string& prompt, const std::function<void(queren&)>& script) {
  g_strPrompt = prompt;
  queren box;
  drv::IdleScript idle([&] {
    if (box.exists()) script(box);
  });
  const int result = box.doModal();
  EXPECT_FALSE(box.exists());  // made for this question and gone after it
  return result;
}

}  // namespace

TEST_F(QuerenTest, QuestionIsAnsweredYesOrNo) {
  struct Case {
    int button;
    int result;
  } cases[] = {{1121, ui::IDOK}, {1122, ui::IDCANCEL}};
  for (const Case& c : cases) {
    std::string shown;
    bool noEnabled = false;
    const int r = runQuestion("是否继续试验？\r\n请确认", [&](queren& q) {
      shown = q.getDlgItemText(1009);
      noEnabled = drv::enabled(q, 1122);
      drv::tap(q, c.button);
    });
    EXPECT_EQ(r, c.result);
    EXPECT_EQ(shown, "是否继续试验？\r\n请确认");
    EXPECT_TRUE(noEnabled);
  }
  EXPECT_EQ(g_strPrompt, "是否继续试验？\r\n请确认");  // keeps the last question
}

TEST_F(QuerenTest, TaggedPromptConfirmsItselfAfterFiveSeconds) {
  struct Case {
    std::string prompt;
    std::string shown;
  } cases[] = {{"将自动进入第二循环62", "将自动进入第二循环"},
               {"将自动卸载76", "将自动卸载"},
               {"将自动进入下一级144", "将自动进入下一级"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.prompt);
    std::string shown;
    std::vector<std::string> captions;
    bool noEnabled = true;
    const auto start = clk::monotonicMs();
    const int r = runQuestion(c.prompt, [&](queren& q) {
      shown = q.getDlgItemText(1009);
      noEnabled = drv::enabled(q, 1122);
      drv::tap(q, 1122);  // refused: only yes is offered
      drv::press(ui::VK_ESCAPE);
      const std::string cap = q.getDlgItemText(1121);
      if (captions.empty() || captions.back() != cap) captions.push_back(cap);
      clk::advance(100);
    });
    EXPECT_EQ(r, ui::IDOK);
    EXPECT_EQ(shown, c.shown);
    EXPECT_FALSE(noEnabled);
    EXPECT_EQ(captions, (std::vector<std::string>{"确定", "确定4", "确定3", "确定2", "确定1"}));
    EXPECT_EQ(clk::monotonicMs() - start, 5000u);
  }
}

TEST_F(QuerenTest, UntaggedAndShortPromptsWaitForTheOperator) {
  for (std::string prompt : {std::string("6"), std::string("试验结束？63")}) {
    std::string shown;
    int ticks = 0;
    const int r = runQuestion(prompt, [&](queren& q) {
      shown = q.getDlgItemText(1009);
      if (++ticks < 80) clk::advance(100);  // eight seconds pass without an answer
      else drv::tap(q, 1122);
    });
    EXPECT_EQ(r, ui::IDCANCEL);
    EXPECT_EQ(shown, prompt);
  }
}

TEST_F(QuerenTest, AskConfirmationSetsThePromptAndAnswers) {
  drv::IdleScript idle([] {
    if (auto* q = dynamic_cast<queren*>(ui::activeWindow())) drv::tap(*q, 1121);
  });
  EXPECT_TRUE(AskConfirmation("删除文件？"));
  EXPECT_EQ(g_strPrompt, "删除文件？");
}
