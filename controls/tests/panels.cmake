# The status bar, table bar, pop view and dialog base: windows on the test
# desktop, their notices, pixels and threads.
if(TARGET controls_tests)
  orv_test_group(controls_tests panels "StatusBar*:TableBar*:PopView*:VexloDialog*:MsgBoxDlg*")
endif()
