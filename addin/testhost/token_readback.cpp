#include "addin/testhost/token_readback.h"

#include "platform/kernel/kernel_utf.h"
#include "tokenstore/data_saver.h"

std::string ReadTokenBack(long long customerCode) {
  IDataSaver* saver = nullptr;
  if (FAILED(CoCreateInstanceByProgID(kDataSaverProgId, IID_IDataSaver, reinterpret_cast<void**>(&saver)))) {
    return "the token store is not registered";
  }
  LONG type = 0;
  BSTR token = nullptr;
  HRESULT hr = saver->GetToken(customerCode, &type, &token);
  std::string text = "GetToken failed";
  if (SUCCEEDED(hr)) {
    text = "code " + std::to_string(customerCode) + " type " + std::to_string(type) + " token " +
           WideToUtf8(token != nullptr ? std::u16string_view(token) : std::u16string_view());
  }
  SysFreeString(token);
  saver->Release();
  return text;
}
