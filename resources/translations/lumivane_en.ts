<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>Lumivane</name>
    <message>
        <source>常亮</source>
        <translation>Steady light</translation>
    </message>
    <message>
        <source>呼吸</source>
        <translation>Breathing</translation>
    </message>
    <message>
        <source>幻彩</source>
        <translation>Colour cycle</translation>
    </message>
    <message>
        <source>跑马</source>
        <translation>Running light</translation>
    </message>
</context>
<context>
    <name>SystemTray</name>
    <message>
        <source>Lumivane tool</source>
        <translation>Lumivane tool</translation>
    </message>
    <message>
        <source>显示</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>开机自启动</source>
        <translation>Start at logon</translation>
    </message>
    <message>
        <source>更新</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
</context>
</TS>
