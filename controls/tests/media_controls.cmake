# The captcha picture window, the animated GIF control and the on-screen
# keyboard: windows on the test desktop; the captcha tests talk to the
# simulated brokerage's HTTP side started in-process.
if(TARGET controls_tests)
  target_link_libraries(controls_tests PRIVATE simbroker_http)
  orv_test_group(controls_tests media-controls "Media*")
endif()
