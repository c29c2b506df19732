quillbrook_add_test(NAME tst_appsettings SOURCES tst_appsettings.cpp LIBS quillbrook_app ENVIRONMENT TZ=UTC)
quillbrook_add_test(NAME tst_loginitem SOURCES tst_loginitem.cpp)
