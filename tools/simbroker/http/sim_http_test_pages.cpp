// The pages the browser program's tests load: a page with everything the
// view reacts to (element "news", page functions, text fields, a new-window
// link, a sub-resource script and picture, script errors in the page and in
// a frame), a page whose "news" element has only a name, a page that
// navigates on after loading, a PDF file, a ping that is only logged, and
// the token vendor's success page.
#include "tools/simbroker/http/sim_http_content.h"

namespace simhttp {

namespace {

const char kBriselPage[] = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>浏览器测试页</title>
<script src="/test/script.js"></script></head>
<body style="background:#0b1622;color:#d8e0e8;font-family:sans-serif;margin:12px">
<h2 style="color:#f0c040">浏览器测试页</h2>
<div id="news" style="border:1px solid #345;padding:6px;margin:6px 0">原有内容</div>
<p><input id="text" type="text" value="" style="width:200px">
<textarea id="area" rows="2" cols="24"></textarea></p>
<p><a id="blank" href="/help.html" target="_blank" style="color:#60a0ff">新窗口链接</a>
<img id="pic" src="/test/pic.png" width="16" height="16"></p>
<iframe id="frame" src="/test/frame.html" width="320" height="60"></iframe>
<script>
function Ping(tag){var x=new XMLHttpRequest();x.open("GET","/test/ping?tag="+encodeURIComponent(tag||""),false);x.send();}
function GoQuote(){location.href="goto::quote::min,600000,1";}
function GoCmd(t){location.href=t;}
function OpenWin(){window.open("/help.html");}
function CloseMe(){window.close();}
function OnWindowClose(){Ping("closing");window.close();}
function Focus(id){document.getElementById(id).focus();}
function FrameFocus(){var f=document.getElementById("frame");f.focus();f.contentWindow.document.getElementById("ftext").focus();}
function Value(id){return document.getElementById(id).value;}
function FrameValue(){return document.getElementById("frame").contentWindow.document.getElementById("ftext").value;}
notDefinedAnywhere();
</script>
</body></html>
)";

const char kFramePage[] = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"></head><body style="background:#13202e;color:#d8e0e8">
框架 <input id="ftext" type="text" value="">
<script>alsoNotDefined();</script>
</body></html>
)";

const char kNamedPage[] = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>named</title></head>
<body style="background:#0b1622;color:#d8e0e8"><div name="news">原有内容</div></body></html>
)";

// A 1x1 PNG.
const unsigned char kPicture[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
    0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00,
    0x0D, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0, 0x1F, 0x00, 0x05, 0x00, 0x01, 0xFF,
    0x89, 0x99, 0x3D, 0x1D, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

const char kPdf[] =
    "%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj\n"
    "3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 200 200]>>endobj\ntrailer<</Root 1 0 R>>\n%%EOF\n";

// A text as a JavaScript string literal.
std::string ScriptString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\', out += c;
    else if (c == '<') out += "\\x3c";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out + "\"";
}

}  // namespace

std::string BuildTestPage(const std::string& path, const std::map<std::string, std::string>& query,
                          std::string* contentType, int* found) {
  *found = 1;
  *contentType = "text/html; charset=utf-8";
  if (path == "/test/brisel.html") return kBriselPage;
  if (path == "/test/frame.html") return kFramePage;
  if (path == "/test/named.html") return kNamedPage;
  if (path == "/test/callback.html") {
    auto to = query.find("to");
    std::string target = to == query.end() ? std::string() : to->second;
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body style=\"background:#0b1622\">"
           "<script>window.onload=function(){location.href=" + ScriptString(target) + ";};</script></body></html>";
  }
  if (path == "/success/success.html")
    return SimHtmlPage("授权", "<p>授权完成</p>");
  if (path == "/test/script.js") {
    *contentType = "application/javascript";
    return "var scriptLoaded = 1;\n";
  }
  if (path == "/test/pic.png") {
    *contentType = "image/png";
    return std::string(reinterpret_cast<const char*>(kPicture), sizeof kPicture);
  }
  if (path == "/test/doc.pdf") {
    *contentType = "application/pdf";
    return kPdf;
  }
  if (path == "/test/ping") {
    *contentType = "text/plain";
    return std::string();
  }
  *found = 0;
  return SimHtmlPage("404", "<p>没有这个页面</p>");
}

}  // namespace simhttp
