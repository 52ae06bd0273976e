# Synchronous downloads through the system HTTP stack (the login's update
# check and the updater).
orv_test_group(foundation_tests login "HttpDownload*" TIMEOUT 300)
