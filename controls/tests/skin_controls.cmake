# The skinned edit, check box, radio, static, scroll bar, pop-up list, tree
# and virtual list box.
orv_test_group(controls_tests skin-controls "SkinnedEdit*:SkinnedButtons*:SkinScrollBar*:PopList*:SkinTree*:VirtualListBox*:SkinControlsSnapshots*")
