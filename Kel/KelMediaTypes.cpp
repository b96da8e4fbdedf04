#include "Kel/KelMediaTypes.h"

#include <fstream>
#include <sstream>

#include "Kel/KelError.h"
#include "Kel/KelFiles.h"
#include "Kel/KelStr.h"

const TMediaTypeEntry kFixedMediaTypes[] = {
    {".aiff", "audio/x-aiff"},
    {".au", "audio/basic"},
    {".mid", "midi/mid"},
    {".mp3", "audio/x-mpg"},
    {".m3u", "audio/x-mpegurl"},
    {".qcp", "audio/vnd.qcelp"},
    {".ra", "audio/x-realaudio"},
    {".wav", "audio/x-wav"},
    {".gsm", "audio/x-gsm"},
    {".wax", "audio/x-ms-wax"},
    {".wma", "audio/x-ms-wma"},
    {".ram", "audio/x-pn-realaudio"},
    {".mjf", "audio/x-vnd.AudioExplosion.MjuiceMediaFile"},
    {".bmp", "image/bmp"},
    {".gif", "image/gif"},
    {".jpg", "image/jpeg"},
    {".jpeg", "image/jpeg"},
    {".jpe", "image/jpeg"},
    {".pict", "image/x-pict"},
    {".png", "image/x-png"},
    {".svg", "image/svg-xml"},
    {".tif", "image/x-tiff"},
    {".rf", "image/vnd.rn-realflash"},
    {".rp", "image/vnd.rn-realpix"},
    {".ico", "image/x-icon"},
    {".art", "image/x-jg"},
    {".pntg", "image/x-macpaint"},
    {".qtif", "image/x-quicktime"},
    {".sgi", "image/x-sgi"},
    {".targa", "image/x-targa"},
    {".xbm", "image/xbm"},
    {".psd", "image/x-psd"},
    {".pnm", "image/x-portable-anymap"},
    {".pbm", "image/x-portable-bitmap"},
    {".pgm", "image/x-portable-graymap"},
    {".ppm", "image/x-portable-pixmap"},
    {".rgb", "image/x-rgb"},
    {".xbm", "image/x-xbitmap"},
    {".xpm", "image/x-xpixmap"},
    {".xwd", "image/x-xwindowdump"},
    {".323", "text/h323"},
    {".xml", "text/xml"},
    {".uls", "text/iuls"},
    {".txt", "text/plain"},
    {".rtx", "text/richtext"},
    {".wsc", "text/scriptlet"},
    {".rt", "text/vnd.rn-realtext"},
    {".htt", "text/webviewhtml"},
    {".htc", "text/x-component"},
    {".vcf", "text/x-vcard"},
    {".avi", "video/x-msvideo"},
    {".flc", "video/flc"},
    {".mpeg", "video/x-mpeg2a"},
    {".mov", "video/quicktime"},
    {".rv", "video/vnd.rn-realvideo"},
    {".ivf", "video/x-ivf"},
    {".wm", "video/x-ms-wm"},
    {".wmp", "video/x-ms-wmp"},
    {".wmv", "video/x-ms-wmv"},
    {".wmx", "video/x-ms-wmx"},
    {".wvx", "video/x-ms-wvx"},
    {".rms", "video/vnd.rn-realvideo-secure"},
    {".asx", "video/x-ms-asf-plugin"},
    {".movie", "video/x-sgi-movie"},
    {".wmd", "application/x-ms-wmd"},
    {".wms", "application/x-ms-wms"},
    {".wmz", "application/x-ms-wmz"},
    {".p12", "application/x-pkcs12"},
    {".p7b", "application/x-pkcs7-certificates"},
    {".p7r", "application/x-pkcs7-certreqresp"},
    {".qtl", "application/x-quicktimeplayer"},
    {".rtsp", "application/x-rtsp"},
    {".swf", "application/x-shockwave-flash"},
    {".sit", "application/x-stuffit"},
    {".tar", "application/x-tar"},
    {".man", "application/x-troff-man"},
    {".urls", "application/x-url-list"},
    {".zip", "application/x-zip-compressed"},
    {".cdf", "application/x-cdf"},
    {".fml", "application/x-file-mirror-list"},
    {".fif", "application/fractals"},
    {".spl", "application/futuresplash"},
    {".hta", "application/hta"},
    {".hqx", "application/mac-binhex40"},
    {".doc", "application/msword"},
    {".pdf", "application/pdf"},
    {".p10", "application/pkcs10"},
    {".p7m", "application/pkcs7-mime"},
    {".p7s", "application/pkcs7-signature"},
    {".cer", "application/x-x509-ca-cert"},
    {".crl", "application/pkix-crl"},
    {".ps", "application/postscript"},
    {".sdp", "application/x-sdp"},
    {".setpay", "application/set-payment-initiation"},
    {".setreg", "application/set-registration-initiation"},
    {".smil", "application/smil"},
    {".ssm", "application/streamingmedia"},
    {".xfdf", "application/vnd.adobe.xfdf"},
    {".fdf", "application/vnd.fdf"},
    {".xls", "application/x-msexcel"},
    {".sst", "application/vnd.ms-pki.certstore"},
    {".pko", "application/vnd.ms-pki.pko"},
    {".cat", "application/vnd.ms-pki.seccat"},
    {".stl", "application/vnd.ms-pki.stl"},
    {".rmf", "application/vnd.rmf"},
    {".rm", "application/vnd.rn-realmedia"},
    {".rnx", "application/vnd.rn-realplayer"},
    {".rjs", "application/vnd.rn-realsystem-rjs"},
    {".rmx", "application/vnd.rn-realsystem-rmx"},
    {".rmp", "application/vnd.rn-rn_music_package"},
    {".rsml", "application/vnd.rn-rsml"},
    {".vsl", "application/x-cnet-vsl"},
    {".z", "application/x-compress"},
    {".tgz", "application/x-compressed"},
    {".dir", "application/x-director"},
    {".gz", "application/x-gzip"},
    {".uin", "application/x-icq"},
    {".hpf", "application/x-icq-hpf"},
    {".pnq", "application/x-icq-pnq"},
    {".scm", "application/x-icq-scm"},
    {".ins", "application/x-internet-signup"},
    {".iii", "application/x-iphone"},
    {".latex", "application/x-latex"},
    {".nix", "application/x-mix-transfer"},
    {".wbmp", "image/vnd.wap.wbmp"},
    {".wml", "text/vnd.wap.wml"},
    {".wmlc", "application/vnd.wap.wmlc"},
    {".wmls", "text/vnd.wap.wmlscript"},
    {".wmlsc", "application/vnd.wap.wmlscriptc"},
    {".css", "text/css"},
    {".htm", "text/html"},
    {".html", "text/html"},
    {".shtml", "server-parsed-html"},
    {".xml", "text/xml"},
    {".sgm", "text/sgml"},
    {".sgml", "text/sgml"},
};
const size_t kFixedMediaTypeCount = sizeof(kFixedMediaTypes) / sizeof(kFixedMediaTypes[0]);

namespace {
const char* const kSystemMimeTypes = "/etc/mime.types";
const char* const kUnknownType = "application/octet-stream";
}  // namespace

TMediaTypeTable::TMediaTypeTable() {
  for (size_t i = 0; i < kFixedMediaTypeCount; ++i)
    Types_.emplace(kFixedMediaTypes[i].Extension, kFixedMediaTypes[i].Type);  // keeps the first entry
}

void TMediaTypeTable::AddMimeTypes(std::string_view text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    const size_t hash = line.find('#');
    if (hash != std::string_view::npos) line = line.substr(0, hash);
    std::string type;
    size_t i = 0;
    for (;;) {
      while (i < line.size() && IsBlank(line[i])) ++i;
      if (i >= line.size()) break;
      const size_t wordStart = i;
      while (i < line.size() && !IsBlank(line[i])) ++i;
      const std::string_view word = line.substr(wordStart, i - wordStart);
      if (type.empty()) type = LowerCase(word);
      else Types_["." + LowerCase(word)] = type;
    }
  }
}

std::string ExtensionOf(std::string_view document) {
  const size_t dot = document.rfind('.');
  if (dot == std::string_view::npos) return std::string();
  return LowerCase(document.substr(dot));
}

std::string TMediaTypeTable::TypeOfExtension(std::string_view extension) const {
  const auto it = Types_.find(LowerCase(extension));
  return it == Types_.end() ? std::string(kUnknownType) : it->second;
}

std::string TMediaTypeTable::TypeOfDocument(std::string_view document) const {
  return TypeOfExtension(ExtensionOf(document));
}

const TMediaTypeTable& MediaTypes() {
  // A function-local static: built once, safely even when two workers arrive together.
  static const TMediaTypeTable table = [] {
    TMediaTypeTable t;
    try {
      t.AddMimeTypes(LoadTextFromFile(kSystemMimeTypes));
    } catch (const EError&) {
      // No system table (or not a regular file): the built-in types only.
    }
    return t;
  }();
  return table;
}

std::string MediaTypeOf(std::string_view document) { return MediaTypes().TypeOfDocument(document); }
