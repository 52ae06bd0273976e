# The indicator tool bar and the indicator parameter and help dialogs are
# windows: they draw through the window layer and use the skinned menu.
target_link_libraries(charts PUBLIC controls platform foundation)
