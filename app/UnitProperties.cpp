#include "app/UnitProperties.h"

#include "Kel/KelTranslate.h"
#include "app/SpiderNode.h"

void TFormSpiderNodeProperties::Fill(TSpiderNode& node) {
  node.UpdateLocalFileInfo();
  Node = &node;
  EditTitle = node.Title().empty() ? RunTimeText("Unknown") : std::string(node.Title());
  EditDesc = node.Description().empty() ? RunTimeText("Unknown") : std::string(node.Description());
  EditRemote = node.URLText();
  EditRemoteDate = DateText(node.RemoteDate);
  EditRemoteSize = SizeText(node.ContentLength);
  EditRemoteResponse = node.ResponseText;
  EditLocal = node.LocalFileName();
  EditLocalDate = DateText(node.LocalDate);
  EditLocalSize = SizeText(node.LocalSize);
  ButtonRemoteEnabled = !EditRemote.empty();
  ButtonLocalEnabled = !EditLocal.empty();
  Referers.assign(node.Referers.begin(), node.Referers.end());
  BrokenAnchors = node.Map().Anchors.MissingOf(node);
}

TFormSpiderNodeProperties::TMenuState TFormSpiderNodeProperties::MenuState(const TSpiderNode* referer) {
  TMenuState s;
  s.Open = referer != nullptr;
  s.Edit = referer && referer->IsMappable();
  s.Spelling = s.Edit && referer->IsHTML();
  return s;
}
