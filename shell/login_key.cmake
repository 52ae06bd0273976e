# orv_check_login_key(<value>): stops the configure step unless the value is
# a 1,024-bit RSA modulus written as exactly 256 upper-case hexadecimal
# digits. Also run as a script (cmake -DORV_LOGIN_RSA_MODULUS=... -P
# login_key.cmake) by the test that checks the refusal.
function(orv_check_login_key value)
  string(LENGTH "${value}" length)
  if(NOT length EQUAL 256 OR NOT value MATCHES "^[0-9A-F]+$")
    message(FATAL_ERROR
      "ORV_LOGIN_RSA_MODULUS must be the sign-in key's modulus as 256 upper-case "
      "hexadecimal digits (got ${length} characters)")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  orv_check_login_key("${ORV_LOGIN_RSA_MODULUS}")
  message(STATUS "login key accepted")
endif()
